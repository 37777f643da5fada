// SPDX-License-Identifier: MIT
// Change subscriptions fed by the kernel: each real change to a link gives
// its cached entry exactly one event, with the values before and after it,
// whether it arrives as a notification or, after lost notifications, from
// the resync's dump.
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "answers.h"
#include "host_fixture.h"

namespace hosttest {
namespace {

constexpr uint32_t kEveryBit = 0xFFFFFFFFu;
constexpr uint32_t kState = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
constexpr uint8_t kUp = LCACHE_FLAG_LINKUP | LCACHE_FLAG_PROTOUP;
constexpr std::array<uint8_t, 6> kNewMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x42};

struct Heard {
    uint32_t event = 0, iod = 0, changed = 0, stale = 0;
    std::optional<lcache_if_entry_t> before, after;
    std::string name;      // what the cache answered, asked from the callback
    uint64_t dispatch = 0; // of the test's numbered dispatches, the one delivering it
};

void PrintTo(const Heard &h, std::ostream *os) {
    *os << "event " << h.event << " iod " << h.iod << " changed 0x" << std::hex << h.changed
        << " stale 0x" << h.stale << std::dec << " name " << h.name;
}

class Watched : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (IsSkipped())
            return;
        near = veth_up("near", "far");
        far = if_nametoindex("far");
        ASSERT_TRUE(dispatch_until([&] { return netif_is_protoup(near) == 1; }));
        ASSERT_GT(lcache_linux_sync(), 0);
    }

    void watch() { ASSERT_GE(lcache_watch_add(kEveryBit, on_change, this), 0); }

    static void on_change(const lcache_change_t *change, void *arg) {
        Heard h;
        h.event = change->event;
        h.iod = change->iod;
        h.changed = change->changed;
        h.stale = change->stale;
        if (change->before)
            h.before = *change->before;
        if (change->after)
            h.after = *change->after;
        if (change->event != LCACHE_CHANGE_REMOVED)
            if (const char *name = lcache_netif_get_if_name(change->iod))
                h.name = name;
        auto *self = static_cast<Watched *>(arg);
        h.dispatch = self->dispatches;
        self->heard.push_back(h);
    }

    // Dispatches until `iod` has had `events` events (or two seconds
    // passed), then while the kernel still says anything: a late message
    // about it must not add another.
    std::vector<Heard> settle(uint32_t iod, size_t events) {
        dispatch_until([&] { return of(iod).size() >= events; });
        dispatch_while_talking();
        return of(iod);
    }

    static void dispatch_while_talking() {
        for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, 300) > 0;)
            dispatch();
    }

    std::vector<Heard> of(uint32_t iod) const {
        std::vector<Heard> out;
        for (const Heard &h : heard)
            if (h.iod == iod)
                out.push_back(h);
        return out;
    }

    uint32_t near = 0, far = 0;
    std::vector<Heard> heard;
    uint64_t dispatches = 0;
};

// One change to the near end, and what its one event must say.
struct LinkChange {
    const char *name;
    // Made before the watch is added: a link is renamed only while down.
    std::function<int(lcache_linux::LinkControl &, uint32_t near, uint32_t far)> prepare;
    std::function<int(lcache_linux::LinkControl &, uint32_t near, uint32_t far)> change;
    uint32_t changed;
    std::function<void(const Heard &)> check;
};

void PrintTo(const LinkChange &c, std::ostream *os) { *os << c.name; }

const LinkChange kChanges[] = {
    {"Mtu", nullptr, [](auto &c, uint32_t near, uint32_t) { return c.set_mtu(near, 9000); },
     LCACHE_ATTR_MTU,
     [](const Heard &h) {
         EXPECT_EQ(h.before->mtu, 1500u);
         EXPECT_EQ(h.after->mtu, 9000u);
     }},
    {"CarrierLostAtThePeer", nullptr,
     [](auto &c, uint32_t, uint32_t far) { return c.set_up(far, false); }, kState,
     [](const Heard &h) {
         EXPECT_EQ(h.before->flags & kUp, kUp);
         EXPECT_EQ(h.after->flags & kUp, 0);
     }},
    {"CarrierBackFromThePeer", [](auto &c, uint32_t, uint32_t far) { return c.set_up(far, false); },
     [](auto &c, uint32_t, uint32_t far) { return c.set_up(far, true); }, kState,
     [](const Heard &h) {
         EXPECT_EQ(h.before->flags & kUp, 0);
         EXPECT_EQ(h.after->flags & kUp, kUp);
     }},
    {"AdminDown", nullptr, [](auto &c, uint32_t near, uint32_t) { return c.set_up(near, false); },
     kState,
     [](const Heard &h) {
         EXPECT_EQ(h.before->flags & kUp, kUp);
         EXPECT_EQ(h.after->flags & kUp, 0);
     }},
    {"Mac", nullptr, [](auto &c, uint32_t near, uint32_t) { return c.set_mac(near, kNewMac); },
     LCACHE_ATTR_MAC,
     [](const Heard &h) {
         EXPECT_FALSE(std::equal(kNewMac.begin(), kNewMac.end(), h.before->mac));
         EXPECT_TRUE(std::equal(kNewMac.begin(), kNewMac.end(), h.after->mac));
     }},
    {"Rename", [](auto &c, uint32_t near, uint32_t) { return c.set_up(near, false); },
     [](auto &c, uint32_t near, uint32_t) { return c.rename(near, "renamed"); }, LCACHE_ATTR_NAME,
     [](const Heard &h) {
         EXPECT_EQ(h.name, "renamed") << "the callback saw the old name";
         EXPECT_EQ(h.before->mtu, h.after->mtu);
     }},
};

class OneChange : public Watched, public ::testing::WithParamInterface<LinkChange> {};

TEST_P(OneChange, GivesTheEntryOneEventWithTheValuesBeforeAndAfter) {
    const LinkChange &c = GetParam();
    if (c.prepare) {
        ASSERT_EQ(c.prepare(control, near, far), 0);
        dispatch_while_talking();
        ASSERT_EQ(cached_answers(near), kernel_answers(near));
    }
    watch();
    ASSERT_EQ(c.change(control, near, far), 0);
    const std::vector<Heard> events = settle(near, 1);
    ASSERT_EQ(events.size(), 1u) << ::testing::PrintToString(events);
    const Heard &h = events[0];
    EXPECT_EQ(h.event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(h.changed, c.changed);
    EXPECT_EQ(h.stale, 0u);
    ASSERT_TRUE(h.before && h.after);
    EXPECT_EQ(h.after->iod, near);
    c.check(h);
    EXPECT_EQ(cached_answers(near), kernel_answers(near));
}

INSTANTIATE_TEST_SUITE_P(Kernel, OneChange, ::testing::ValuesIn(kChanges),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

// The kernel closes a link before it unregisters it, and says both: the
// link's state goes down, then it is removed.
void expect_taken_down_then_removed(const std::vector<Heard> &events, uint32_t iod) {
    ASSERT_GE(events.size(), 2u) << ::testing::PrintToString(events);
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(events[0].changed, kState);
    EXPECT_EQ(events[1].event, LCACHE_CHANGE_REMOVED);
    ASSERT_TRUE(events[1].before);
    EXPECT_EQ(events[1].before->iod, iod);
    EXPECT_EQ(events[1].before->flags & kUp, 0)
        << "the removal does not start where the last event ended";
    EXPECT_FALSE(events[1].after);
}

TEST_F(Watched, DeletionRemovesBothEnds) {
    watch();
    ASSERT_EQ(control.remove(near), 0);
    for (uint32_t iod : {near, far}) {
        SCOPED_TRACE("iod " + std::to_string(iod));
        const std::vector<Heard> events = settle(iod, 2);
        EXPECT_EQ(events.size(), 2u) << ::testing::PrintToString(events);
        expect_taken_down_then_removed(events, iod);
    }
}

TEST_F(Watched, ReCreationIsARemovalThenAnAddition) {
    watch();
    ASSERT_EQ(control.remove(near), 0);
    ASSERT_EQ(control.add_veth("near", "far", near), 0);
    const std::vector<Heard> events = settle(near, 3);
    ASSERT_EQ(events.size(), 3u) << ::testing::PrintToString(events);
    expect_taken_down_then_removed(events, near);
    EXPECT_EQ(events[2].event, LCACHE_CHANGE_ADDED);
    EXPECT_FALSE(events[2].before);
    ASSERT_TRUE(events[2].after);
    EXPECT_EQ(events[2].after->iod, near);
    EXPECT_EQ(events[2].name, "near");
}

// Notifications lost to a starved socket: the changes they carried arrive
// as the resync's events, one per entry, each continuing the values the
// entry's previous event left.
TEST_F(Watched, ChangesLostToAnOverrunArriveAsTheResyncsEvents) {
    constexpr int kPairs = 4, kRounds = 150;
    std::vector<uint32_t> ports{near};
    for (int i = 1; i < kPairs; ++i)
        ports.push_back(veth_up("near" + std::to_string(i), "far" + std::to_string(i)));
    uint32_t doomed = veth_up("doomed", "doomedpeer");
    ASSERT_TRUE(dispatch_until([&] { return netif_is_protoup(doomed) == 1; }));
    dispatch_until_quiet();
    std::map<uint32_t, lcache_if_entry_t> first;
    for (uint32_t iod : ports) {
        uint32_t if_index = ethernet_ifindex(iod);
        ASSERT_TRUE(is_cached(if_index));
        first[iod] = *static_cast<lcache_if_entry_t *>(ht_lookup(&lcache.if_table, &if_index));
    }
    watch();
    shrink_receive_buffer();
    for (int round = 0; round < kRounds; ++round)
        for (uint32_t iod : ports)
            ASSERT_EQ(control.set_mtu(iod, 1280 + (round * 7 + iod) % 200), 0);
    ASSERT_EQ(control.set_up(far, false), 0);
    ASSERT_EQ(control.set_up(ports[1], false), 0);
    ASSERT_EQ(control.rename(ports[1], "moved1"), 0);
    ASSERT_EQ(control.remove(doomed), 0);
    ASSERT_EQ(control.add_veth("newcomer", "newcomerpeer"), 0);
    std::set<uint64_t> resynced; // the numbered dispatches that resynchronised
    for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, 300) > 0;) {
        const uint64_t before = counters().resyncs;
        ++dispatches;
        dispatch();
        if (counters().resyncs > before)
            resynced.insert(dispatches);
    }
    ASSERT_FALSE(resynced.empty()) << "nothing was lost: the test proves less than it says";

    for (uint32_t iod : ports) {
        SCOPED_TRACE("iod " + std::to_string(iod));
        const std::vector<Heard> events = of(iod);
        ASSERT_FALSE(events.empty());
        std::map<uint64_t, int> per_resync;
        lcache_if_entry_t now = first[iod];
        bool renamed = false;
        for (const Heard &h : events) {
            ASSERT_EQ(h.event, LCACHE_CHANGE_UPDATED);
            EXPECT_EQ(h.before->mtu, now.mtu) << "an event did not start where the last ended";
            EXPECT_EQ(h.before->flags, now.flags);
            now = *h.after;
            renamed = renamed || (h.changed & LCACHE_ATTR_NAME);
            per_resync[h.dispatch] += resynced.contains(h.dispatch);
        }
        EXPECT_TRUE(resynced.contains(events.back().dispatch))
            << "the last change did not come from a resync";
        for (const auto &[resync, count] : per_resync)
            EXPECT_LE(count, 1) << "resync " << resync << " gave the entry several events";
        EXPECT_EQ(now.mtu, kernel_answers(iod).mtu);
        EXPECT_EQ(now.flags & LCACHE_FLAG_LINKUP, netif_is_linkup(iod) ? LCACHE_FLAG_LINKUP : 0);
        EXPECT_EQ(renamed, iod == ports[1]);
    }
    const std::vector<Heard> gone = of(doomed);
    ASSERT_FALSE(gone.empty());
    EXPECT_EQ(gone.back().event, LCACHE_CHANGE_REMOVED);
    const std::vector<Heard> added = of(if_nametoindex("newcomer"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].event, LCACHE_CHANGE_ADDED);
}

} // namespace
} // namespace hosttest
