// SPDX-License-Identifier: MIT
// Change subscriptions: which operations give which events, with what
// before and after, and what a callback may do.
#include <cerrno>
#include <functional>
#include <optional>

#include "notify_fixture.h"

namespace lctest {
namespace {

// One event as heard, with copies of the entries it showed.
struct Heard {
    uint32_t event, iod, if_index, changed, stale;
    std::optional<lcache_if_entry_t> before, after;
};

struct HeardVlan {
    uint32_t event, vlan, changed, stale;
    std::optional<lcache_vlan_entry_t> before, after;
};

template <class Entry> std::optional<Entry> copy_of(const Entry *e) {
    return e ? std::optional<Entry>(*e) : std::nullopt;
}

// Records every event; `also` runs inside the callback.
struct Listener {
    std::vector<Heard> heard;
    std::function<void(const lcache_change_t &)> also;

    static void on_change(const lcache_change_t *c, void *arg) {
        auto *self = static_cast<Listener *>(arg);
        self->heard.push_back({c->event, c->iod, c->if_index, c->changed, c->stale,
                               copy_of(c->before), copy_of(c->after)});
        if (self->also)
            self->also(*c);
    }
    int watch(uint32_t mask = 0xFFFFFFFF) { return lcache_watch_add(mask, on_change, this); }
};

struct VlanListener {
    std::vector<HeardVlan> heard;
    static void on_change(const lcache_vlan_change_t *c, void *arg) {
        static_cast<VlanListener *>(arg)->heard.push_back(
            {c->event, c->vlan, c->changed, c->stale, copy_of(c->before), copy_of(c->after)});
    }
};

uint64_t live_watch_blocks() { return live_blocks(LCACHE_MEM_NONE); }

class Watch : public NotifyTest {
  protected:
    void SetUp() override { init_tracking(1); }

    // An L2 record of the interface as the model has it now.
    int32_t send_l2(sim::IfIndex ifindex) { return sim::deliver(l2(ifindex)); }

    Listener listener;
};

TEST_F(Watch, EachOperationGivesItsEventKind) {
    ASSERT_GE(listener.watch(), 0);
    lcache_if_entry_t *entry = warm(svi);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].event, LCACHE_CHANGE_ADDED);
    EXPECT_EQ(listener.heard[0].iod, iod(svi));
    EXPECT_EQ(listener.heard[0].if_index, svi);
    EXPECT_FALSE(listener.heard[0].before);
    ASSERT_TRUE(listener.heard[0].after);
    EXPECT_EQ(listener.heard[0].after->mtu, entry->mtu);

    const uint16_t old_mtu = entry->mtu;
    model.set_mtu(svi, 9000);
    send_l2(svi);
    ASSERT_EQ(listener.heard.size(), 2u);
    const Heard &mtu = listener.heard[1];
    EXPECT_EQ(mtu.event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(mtu.changed, LCACHE_ATTR_MTU);
    EXPECT_EQ(mtu.before->mtu, old_mtu);
    EXPECT_EQ(mtu.after->mtu, 9000);

    sim::deliver(l3(svi, 0)); // tracked: down removes the entry
    ASSERT_EQ(listener.heard.size(), 3u);
    EXPECT_EQ(listener.heard[2].event, LCACHE_CHANGE_REMOVED);
    EXPECT_EQ(listener.heard[2].iod, iod(svi));
    EXPECT_EQ(listener.heard[2].before->mtu, 9000);
    EXPECT_FALSE(listener.heard[2].after);
}

TEST_F(Watch, ARepeatedValueIsSilentAndAChangeNamesOnlyWhatChanged) {
    warm(svi);
    listener.watch();
    send_l2(svi);
    EXPECT_TRUE(listener.heard.empty()) << "the record repeats what is cached";

    model.set_link(svi, false);
    model.set_protocol(svi, false);
    model.set_mtu(svi, 1400);
    send_l2(svi);
    ASSERT_EQ(listener.heard.size(), 1u) << "one event per entry per operation";
    EXPECT_EQ(listener.heard[0].changed,
              LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_MTU);
    EXPECT_EQ(listener.heard[0].stale, 0u);
}

TEST_F(Watch, AFlushGivesStaleBitsOnlyOnceAndARefetchThatConfirmsIsSilent) {
    lcache_if_entry_t *entry = warm(eth1);
    listener.watch();
    const uint32_t dirty_before = entry->dirty;
    lcache_flush_if_entry(entry, 3);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(listener.heard[0].changed, 0u);
    EXPECT_EQ(listener.heard[0].stale,
              lcache.attr.sync_mask & ~dirty_before &
                  ~(LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD | LCACHE_ATTR_FINDEX));
    EXPECT_EQ(memcmp(&*listener.heard[0].before, &*listener.heard[0].after,
                     offsetof(lcache_if_entry_t, dirty)),
              0)
        << "a flush moves no value";

    lcache_flush_if_entry(entry, 3);
    lcache_netif_is_linkup(iod(eth1)); // asks again, the same answer
    EXPECT_EQ(listener.heard.size(), 1u);

    model.set_mtu(eth1, 2000);
    EXPECT_EQ(lcache_netif_get_if_mtu(iod(eth1)), 2000);
    ASSERT_EQ(listener.heard.size(), 2u) << "a query that fetched a new value";
    EXPECT_EQ(listener.heard[1].changed, LCACHE_ATTR_MTU);
}

TEST_F(Watch, TheMaskSelectsUpdatesButEveryWatchHearsCreationAndRemoval) {
    Listener mtu_only;
    mtu_only.watch(LCACHE_ATTR_MTU);
    warm(svi);
    model.set_link(svi, false);
    send_l2(svi);
    model.set_mtu(svi, 1234);
    send_l2(svi);
    sim::deliver(sim::PhyState{svi, iod(svi), LCACHE_PHY_GONE});
    std::vector<uint32_t> kinds;
    for (const Heard &h : mtu_only.heard)
        kinds.push_back(h.event);
    EXPECT_EQ(kinds, (std::vector<uint32_t>{LCACHE_CHANGE_ADDED, LCACHE_CHANGE_UPDATED,
                                            LCACHE_CHANGE_REMOVED}));
}

TEST_F(Watch, ACallbackSeesTheNewStateAndItsQueriesCount) {
    warm(svi);
    uint16_t seen_mtu = 0;
    uint64_t hits_before = 0;
    listener.also = [&](const lcache_change_t &c) {
        hits_before = lcache.stats.hits[LCACHE_STAT_MTU];
        seen_mtu = lcache_netif_get_if_mtu(c.iod);
    };
    listener.watch();
    model.set_mtu(svi, 4321);
    send_l2(svi);
    EXPECT_EQ(seen_mtu, 4321);
    EXPECT_EQ(lcache.stats.hits[LCACHE_STAT_MTU], hits_before + 1);
}

TEST_F(Watch, ACallbackChangeIsDeliveredAfterwardsNeverInside) {
    lcache_if_entry_t *entry = warm(eth1);
    int depth = 0, deepest = 0;
    listener.also = [&](const lcache_change_t &c) {
        ++depth;
        deepest = std::max(deepest, depth);
        if (c.stale & LCACHE_ATTR_MTU)
            lcache_netif_get_if_mtu(c.iod); // fetches the new MTU: a second event
        --depth;
    };
    listener.watch();
    model.set_mtu(eth1, 1600);
    lcache_flush_if_entry(entry, 3);
    ASSERT_EQ(listener.heard.size(), 2u);
    EXPECT_NE(listener.heard[0].stale & LCACHE_ATTR_MTU, 0u);
    EXPECT_EQ(listener.heard[1].changed, LCACHE_ATTR_MTU);
    EXPECT_EQ(listener.heard[1].after->mtu, 1600);
    EXPECT_EQ(deepest, 1);
}

TEST_F(Watch, AWatchRemovedDuringDeliveryHearsNothingMore) {
    Listener second;
    const int second_handle = second.watch();
    int own = -1;
    listener.also = [&](const lcache_change_t &) {
        EXPECT_EQ(lcache_watch_remove(second_handle), 0);
        EXPECT_EQ(lcache_watch_remove(own), 0);
    };
    // Registered after `second`, so heard after it: `second` hears the
    // creation, then neither hears anything.
    own = listener.watch();
    warm(svi);
    model.set_mtu(svi, 1300);
    send_l2(svi);
    EXPECT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(second.heard.size(), 1u);

    Listener first, later;
    first.also = [&](const lcache_change_t &) { lcache_watch_remove(later.watch()); };
    first.watch();
    model.set_mtu(svi, 1301);
    send_l2(svi);
    EXPECT_TRUE(later.heard.empty()) << "a watch added during a delivery hears the next event";
    EXPECT_EQ(first.heard.size(), 1u);
}

TEST_F(Watch, ReleasesInsideACallbackAreRefusedWithTheTraceCallbacksReport) {
    warm(svi);
    const struct {
        const char *name;
        std::function<uint32_t(uint32_t iod)> call;
    } releases[] = {
        {"lcache_if_remove_entry_by_iod", [](uint32_t iod) { return lcache_if_remove_entry_by_iod(iod); }},
        {"lcache_cleanup", [](uint32_t) { return lcache_cleanup(); }},
        {"lcache_if_create_entry_by_if",
         [this](uint32_t) { return lcache_if_create_entry_by_if(eth2, 0, 0, 0) ? 1u : 0u; }},
    };
    for (const auto &r : releases) {
        SCOPED_TRACE(r.name);
        uint32_t result = 7;
        listener.also = [&](const lcache_change_t &c) { result = r.call(c.iod); };
        const int handle = listener.watch();
        model.set_mtu(svi, static_cast<uint16_t>(model.at(svi).mtu + 1));
        send_l2(svi);
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(std::string(lcache_print_str),
                  std::string(r.name) + ": refused while a trace or error callback runs\n");
        EXPECT_NE(cached(svi), nullptr);
        EXPECT_EQ(lcache_watch_remove(handle), 0);
    }
    EXPECT_EQ(cached(eth2), nullptr);
}

TEST_F(Watch, BadCallsHaveClearResultsAndLeaveNothingBehind) {
    EXPECT_EQ(lcache_watch_add(~0u, nullptr, nullptr), -EINVAL);
    EXPECT_EQ(lcache_vlan_watch_add(~0u, nullptr, nullptr), -EINVAL);
    EXPECT_EQ(lcache_watch_remove(12345), -ENOENT);
    EXPECT_EQ(lcache_vlan_watch_remove(-1), -ENOENT);
    EXPECT_EQ(lcache_watch_end(), -EINVAL);

    mtrack_fail_next(1);
    EXPECT_EQ(listener.watch(), -ENOMEM);
    const int handle = listener.watch();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(lcache_watch_remove(handle), 0);
    EXPECT_EQ(lcache_watch_remove(handle), -ENOENT) << "a handle is not reused";
    EXPECT_NE(listener.watch(), handle);
}

TEST_F(Watch, AChangeWithoutMemoryIsReportedAndLost) {
    warm(svi);
    listener.watch();
    mtrack_fail_next(1);
    model.set_mtu(svi, 1111);
    send_l2(svi);
    EXPECT_TRUE(listener.heard.empty());
    EXPECT_STREQ(lcache_print_str, "No memory to record a change: its event is lost\n");
    model.set_mtu(svi, 1112);
    send_l2(svi);
    EXPECT_EQ(listener.heard.size(), 1u) << "the next change is heard again";
}

TEST_F(Watch, CleanupDropsEveryWatchAndItsMemory) {
    listener.watch();
    VlanListener vlans;
    lcache_vlan_watch_add(~0u, VlanListener::on_change, &vlans);
    warm(svi);
    for (sim::IfIndex i : {eth1, eth2, eth3, eth4, po1, subif, gre, mgmt})
        warm(i);
    lcache_if_flush_all(3);
    EXPECT_GT(live_watch_blocks(), 0u);
    lcache_cleanup();
    EXPECT_EQ(live_watch_blocks(), 0u);
    init_tracking(1);
    const size_t heard = listener.heard.size();
    warm(svi);
    EXPECT_EQ(listener.heard.size(), heard) << "cleanup dropped the watch";
}

TEST_F(Watch, ABracketMakesSeveralNotificationsOneEvent) {
    warm(svi);
    listener.watch();
    model.set_mtu(svi, 1500 + 1);
    model.set_link(svi, false);
    lcache_watch_begin();
    send_l2(svi);
    sim::deliver(l3(svi, 1));
    lcache_update_name(iod(svi));
    EXPECT_TRUE(listener.heard.empty()) << "nothing before the bracket closes";
    EXPECT_EQ(lcache_watch_end(), 0);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].changed,
              LCACHE_ATTR_MTU | LCACHE_ATTR_LINKUP | LCACHE_ATTR_NAME);
}

TEST_F(Watch, ANameChangeReachesOnlyWatchersOfTheName) {
    warm(svi);
    Listener names, others;
    names.watch(LCACHE_ATTR_NAME);
    others.watch(~LCACHE_ATTR_NAME);
    EXPECT_EQ(lcache_update_name(iod(svi)), LCACHE_NOTIFY_APPLIED);
    EXPECT_EQ(lcache_update_name(kUnknownIod), LCACHE_NOTIFY_IGNORED);
    ASSERT_EQ(names.heard.size(), 1u);
    EXPECT_EQ(names.heard[0].changed, LCACHE_ATTR_NAME);
    EXPECT_TRUE(others.heard.empty());
}

TEST_F(Watch, ARefreshThatFindsTheIodMovedRemovesTheHolderOfTheNewOne) {
    lcache_if_entry_t *entry = warm(eth1);
    warm(eth2);
    const uint32_t taken = iod(eth2);
    listener.watch();
    model.set_iod(eth2, 777);
    model.set_iod(eth1, taken);
    lcache_flush_if_entry(entry, 3);
    listener.heard.clear();
    lcache_if_update_entry(entry, 0);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].event, LCACHE_CHANGE_REMOVED);
    EXPECT_EQ(listener.heard[0].if_index, eth2);
}

// The owner of private data writes its size into the entry itself: a
// refetch that brings a new size is a change like any other.
TEST_F(Watch, ARefetchedPrivateDataSizeIsAChange) {
    lcache_cleanup();
    lcache_attr a = attr_with(kSyncAll);
    a.low_mask = LCACHE_ATTR_EXT;
    a.ext_fn[0] = [](uint32_t data, uint32_t) { return data; };
    init(a);
    model.set_private_data(eth1, kHistId, {5, 4});
    warm(eth1);
    listener.watch();
    model.set_private_data(eth1, kHistId, {5, 8});
    lcache_if_flush_if(eth1, 0);
    uint32_t size = 0;
    lcache_netif_get_private_data(iod(eth1), kHistId, &size);
    ASSERT_EQ(size, 8u);
    ASSERT_EQ(listener.heard.size(), 2u);
    EXPECT_EQ(listener.heard[1].changed, LCACHE_ATTR_EXT);
    EXPECT_EQ(listener.heard[1].before->extn_size, 4u);
    EXPECT_EQ(listener.heard[1].after->extn_size, 8u);
}

class WatchVlan : public LcacheSimTest {
  protected:
    void SetUp() override {
        model.add_vlan(10);
        model.set_vlan_bd(10, 20);
        init();
        lcache_vlan_watch_add(~0u, VlanListener::on_change, &vlans);
    }
    VlanListener vlans;
};

TEST_F(WatchVlan, EveryKindOfVlanEvent) {
    uint16_t bd = 0;
    ASSERT_EQ(lcache_vlan_get_bd(vlan_key_t{0, 10}, &bd), 0u);
    model.set_vlan_bd(10, 21);
    lcache_vlan_update_vlan(10);
    lcache_vlan_update_vlan(10); // the same answers again: silent
    lcache_vlan_flush_vlan(10, 3);
    lcache_vlan_remove_entry_by_vlan(10);
    ASSERT_EQ(vlans.heard.size(), 4u);
    EXPECT_EQ(vlans.heard[0].event, LCACHE_CHANGE_ADDED);
    EXPECT_EQ(vlans.heard[0].after->bd, 20);
    EXPECT_EQ(vlans.heard[1].event, LCACHE_CHANGE_UPDATED);
    EXPECT_NE(vlans.heard[1].changed & LCACHE_ATTR_BD, 0u);
    EXPECT_EQ(vlans.heard[1].before->bd, 20);
    EXPECT_EQ(vlans.heard[1].after->bd, 21);
    EXPECT_EQ(vlans.heard[2].changed, 0u);
    EXPECT_EQ(vlans.heard[2].stale, lcache.attr.sync_mask & (LCACHE_ATTR_PVLAN | LCACHE_ATTR_BD |
                                                             LCACHE_ATTR_FINDEX));
    EXPECT_EQ(vlans.heard[3].event, LCACHE_CHANGE_REMOVED);
    EXPECT_EQ(vlans.heard[3].vlan, 10u);
}

} // namespace
} // namespace lctest
