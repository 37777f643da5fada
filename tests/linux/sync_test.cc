// SPDX-License-Identifier: MIT
// lcache_linux_sync: one dump gives every interface an entry that answers
// without asking, and from then on a new interface gets its entry when the
// kernel announces it.
#include <algorithm>

#include "answers.h"
#include "host_fixture.h"

namespace hosttest {
namespace {

constexpr int kPairs = 32;

// Every pair is up at its near end with an MTU of its own; every other
// pair has its far end up too, and so carrier.
TEST_F(HostTest, SyncFillsAnEntryForEveryInterfaceThatAnswersWithoutAsking) {
    std::vector<uint32_t> with_carrier;
    for (int i = 0; i < kPairs; ++i) {
        std::string name = "near" + std::to_string(i), peer = "far" + std::to_string(i);
        ASSERT_EQ(control.add_veth(name, peer), 0);
        uint32_t near = if_nametoindex(name.c_str());
        ASSERT_EQ(control.set_mtu(near, 1280 + i), 0);
        ASSERT_EQ(control.set_up(near, true), 0);
        if (i % 2 == 0) {
            ASSERT_EQ(control.set_up(if_nametoindex(peer.c_str()), true), 0);
            with_carrier.push_back(near);
        }
    }
    ASSERT_TRUE(dispatch_until([&] {
        return std::all_of(with_carrier.begin(), with_carrier.end(),
                           [](uint32_t iod) { return netif_is_protoup(iod) == 1; });
    })) << "the pairs never came up";
    dispatch_until_quiet();
    EXPECT_EQ(lcache.stats.if_allocs, 0u);

    const auto iods = kernel_iods();
    const uint64_t generation = counters().generation;
    EXPECT_EQ(lcache_linux_sync(), static_cast<int>(iods.size()));
    EXPECT_EQ(counters().generation, generation + 1);
    EXPECT_EQ(cached_iods(), iods);
    EXPECT_EQ(lcache_linux_sync(), static_cast<int>(iods.size())) << "a sync over a warm cache";
    lcache_linux_reset_counters();
    EXPECT_EQ(counters().generation, generation + 2) << "a reset forgot the generation";
    EXPECT_EQ(lcache.stats.if_allocs, iods.size()) << "the second sync made entries again";
    expect_answers_match_kernel(iods);
}

struct LateCase {
    const char *name;
    void (*before)();
    bool gets_entry;
};

void PrintTo(const LateCase &tc, std::ostream *os) { *os << tc.name; }

void sync_now() { ASSERT_GT(lcache_linux_sync(), 0); }

// clang-format off
const LateCase kLateCases[] = {
    {"FreshOpen", [] {}, false},
    {"AfterSync", sync_now, true},
    {"ReopenedAfterSync", [] { sync_now(); lcache_linux_close(); ASSERT_EQ(lcache_linux_open(), 0); },
     false},
};
// clang-format on

class LateInterface : public HostTest, public ::testing::WithParamInterface<LateCase> {};

TEST_P(LateInterface, GetsAnEntryWhenAnnouncedOnlyWhileSynced) {
    const LateCase &tc = GetParam();
    tc.before();
    ASSERT_FALSE(HasFatalFailure());
    lcache_linux_reset_counters();
    ASSERT_EQ(control.add_veth("late", "latepeer"), 0);
    uint32_t late = if_nametoindex("late");
    dispatch();
    EXPECT_EQ(counters().messages_skipped == 0, tc.gets_entry);
    EXPECT_EQ(is_cached(ethernet_ifindex(late)), tc.gets_entry);
    EXPECT_EQ(round_trips_of([&] { EXPECT_EQ(cached_answers(late).mtu, 1500u); }) == 0,
              tc.gets_entry);
}

INSTANTIATE_TEST_SUITE_P(Kernel, LateInterface, ::testing::ValuesIn(kLateCases),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

// A trace callback runs while the sync applies its dump: a change made
// there comes after the dump and can only arrive as a notification.
lcache_linux::LinkControl *changer;
uint32_t changed_iod;
int change_result = 1;

int change_once(uint32_t, const char *, ...) {
    if (change_result == 1)
        change_result = changer->set_mtu(changed_iod, 1450);
    return 0;
}

class ChangeAroundSync : public HostTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ChangeAroundSync, IsNotMissed) {
    const bool closed_first = GetParam();
    ASSERT_EQ(control.add_veth("before", "beforepeer"), 0);
    ASSERT_EQ(control.add_veth("during", "duringpeer"), 0);
    uint32_t before = if_nametoindex("before");
    ASSERT_EQ(control.set_mtu(before, 1400), 0);
    if (closed_first)
        lcache_linux_close();
    changer = &control;
    changed_iod = if_nametoindex("during");
    change_result = 1;
    lcache_set_print(change_once, 0);
    int interfaces = lcache_linux_sync();
    lcache_set_print(nullptr, 0);
    ASSERT_EQ(interfaces, 5);
    ASSERT_EQ(change_result, 0) << "no change was made while the sync ran";
    lcache_linux_reset_counters();
    EXPECT_EQ(lcache_netif_get_if_mtu(before), 1400u) << "a change made before the sync";
    EXPECT_EQ(lcache_netif_get_if_mtu(changed_iod), 1450u) << "a change made while it ran";
    EXPECT_EQ(counters().round_trips, 0u);
}

INSTANTIATE_TEST_SUITE_P(Kernel, ChangeAroundSync, ::testing::Bool(), [](const auto &param_info) {
    return param_info.param ? "BridgeClosed" : "BridgeOpen";
});

} // namespace
} // namespace hosttest
