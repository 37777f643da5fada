// SPDX-License-Identifier: MIT
// A real overrun: with its receive buffer at the kernel's minimum, the
// bridge's socket loses notifications to thousands of changes made while
// nobody dispatches.  Each dispatch that meets the loss resynchronises once,
// from one dump, and the cache ends as the kernel is.
#include <algorithm>

#include "answers.h"
#include "host_fixture.h"

namespace hosttest {
namespace {

constexpr int kPairs = 8;
constexpr int kRounds = 300; // kPairs MTU changes each, in two bursts

// How the entries were made: by a sync (new interfaces then get one too),
// or by asking about every interface.
enum class Entries { synced, asked };

void PrintTo(Entries entries, std::ostream *os) {
    *os << (entries == Entries::synced ? "synced" : "asked");
}

class Resync : public HostTest, public ::testing::WithParamInterface<Entries> {};

TEST_P(Resync, OncePerDispatchThatLostNotificationsAndEveryAnswerIsTheKernels) {
    const bool synced = GetParam() == Entries::synced;
    std::vector<uint32_t> near, far;
    for (int i = 0; i < kPairs; ++i) {
        std::string peer = "far" + std::to_string(i);
        near.push_back(veth_up("near" + std::to_string(i), peer));
        far.push_back(if_nametoindex(peer.c_str()));
    }
    uint32_t doomed = veth_up("doomed", "doomedpeer");
    ASSERT_TRUE(dispatch_until([&] {
        return std::all_of(near.begin(), near.end(),
                           [](uint32_t iod) { return netif_is_protoup(iod) == 1; });
    })) << "the pairs never came up";
    dispatch_until_quiet();
    if (synced) {
        ASSERT_GT(lcache_linux_sync(), 0);
    }
    for (uint32_t iod : kernel_iods())
        cached_answers(iod);
    ASSERT_TRUE(is_cached(ethernet_ifindex(doomed)));
    const uint64_t generation = counters().generation;

    shrink_receive_buffer();
    lcache_linux_reset_counters();
    // Two bursts, each dispatched late.  Every far end goes down once; the
    // odd ones stay down.
    uint64_t lossy_dispatches = 0;
    for (int burst = 0; burst < 2; ++burst) {
        for (int round = burst * kRounds / 2; round < (burst + 1) * kRounds / 2; ++round) {
            for (int i = 0; i < kPairs; ++i)
                ASSERT_EQ(control.set_mtu(near[i], 1280 + (round + i) % 200), 0);
            const int pair = round / 20, step = round % 20;
            if (pair < kPairs && (step == 0 || (step == 10 && pair % 2 == 0))) {
                ASSERT_EQ(control.set_up(far[pair], step == 10), 0);
            }
        }
        if (burst == 0) {
            ASSERT_EQ(control.remove(doomed), 0);
        } else {
            ASSERT_EQ(control.add_veth("newcomer", "newcomerpeer"), 0);
        }
        for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, 100) > 0;) {
            const lcache_linux_counters_t before = counters();
            dispatch();
            const lcache_linux_counters_t after = counters();
            bool lost = after.overruns > before.overruns ||
                        after.messages_malformed > before.messages_malformed;
            lossy_dispatches += lost;
            EXPECT_EQ(after.resyncs - before.resyncs, lost ? 1u : 0u);
        }
    }
    const lcache_linux_counters_t c = counters();
    ASSERT_GE(lossy_dispatches, 2u) << "a burst lost nothing: the test proves less than it says";
    EXPECT_EQ(c.resyncs, lossy_dispatches);
    EXPECT_EQ(c.generation, generation + c.resyncs);
    EXPECT_EQ(c.resync_fallbacks, 0u);
    EXPECT_LE(c.round_trips, c.resyncs + c.dump_retries)
        << "a resync asked about interfaces one by one";

    EXPECT_FALSE(is_cached(ethernet_ifindex(doomed))) << "a vanished interface kept its entry";
    uint32_t newcomer = if_nametoindex("newcomer");
    EXPECT_EQ(is_cached(ethernet_ifindex(newcomer)), synced);
    auto expected = kernel_iods();
    if (!synced) {
        std::erase(expected, newcomer);
        std::erase(expected, if_nametoindex("newcomerpeer"));
    }
    const auto iods = cached_iods();
    EXPECT_EQ(iods, expected);
    expect_answers_match_kernel(iods);
}

INSTANTIATE_TEST_SUITE_P(Kernel, Resync, ::testing::Values(Entries::synced, Entries::asked),
                         [](const auto &param_info) {
                             return param_info.param == Entries::synced ? "Synced" : "Asked";
                         });

} // namespace
} // namespace hosttest
