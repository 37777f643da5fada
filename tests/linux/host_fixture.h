// SPDX-License-Identifier: MIT
// A test against the kernel: a private network namespace of its own, the
// cache over the Linux peers, and the notification bridge open.  Skips,
// saying why, where the namespace cannot be made.
#pragma once

#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "lcache.h"
#include "lcache_linux.h"
#include "link_control.h"
#include "mtrack.h"
#include "netns.h"

// Makes a kind of link the kernel may lack (VLAN devices, bonds): the test
// skips, saying so, where it does not have it.
#define SKIP_UNLESS_SUPPORTED(call, what)                                                    \
    do {                                                                                     \
        int result_ = (call);                                                                \
        if (result_ == -EOPNOTSUPP || result_ == -EINVAL)                                    \
            GTEST_SKIP() << "this kernel has no " what " (" << strerror(-result_) << ")";   \
        ASSERT_EQ(result_, 0);                                                               \
    } while (0)

namespace hosttest {

// Every table and attribute kept.
constexpr uint32_t kSyncAll = 0xFFFFFFFF;

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!lcache_linux::enter_private_netns(why))
            GTEST_SKIP() << why;
        ASSERT_EQ(control.open(), 0);
        lcache_attr attr{};
        attr.table_size = 64;
        attr.sync_mask = attr.crit_mask = attr.med_mask = attr.low_mask = kSyncAll;
        ASSERT_EQ(lcache_init(&attr), 1u);
        ASSERT_EQ(lcache_linux_open(), 0);
        lcache_linux_reset_counters();
    }

    void TearDown() override {
        lcache_linux_close();
        lcache_cleanup();
        mtrack_usage_t usage;
        mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &usage);
        EXPECT_EQ(usage.live_blocks, 0u) << "interface entries leaked";
    }

    // A veth pair, both ends up; answers the near end's kernel ifindex.
    uint32_t veth_up(const std::string &name, const std::string &peer) {
        EXPECT_EQ(control.add_veth(name, peer), 0);
        uint32_t near = if_nametoindex(name.c_str());
        EXPECT_EQ(control.set_up(near, true), 0);
        EXPECT_EQ(control.set_up(if_nametoindex(peer.c_str()), true), 0);
        return near;
    }

    // Hands every pending notification to the cache; answers how many it
    // handed over.
    static int dispatch() {
        int handled = lcache_linux_dispatch();
        EXPECT_GE(handled, 0);
        return handled;
    }

    // The kernel reports carrier and operational state from a work queue,
    // a moment after the change returns: dispatches what arrives until
    // `done()` holds or two seconds pass.  Answers whether it held.
    template <typename F>
    static bool dispatch_until(F &&done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd pfd{lcache_linux_fd(), POLLIN, 0};
            poll(&pfd, 1, 20);
            dispatch();
        }
        return true;
    }

    static lcache_linux_counters_t counters() {
        lcache_linux_counters_t c;
        lcache_linux_get_counters(&c);
        return c;
    }

    lcache_linux::LinkControl control;
};

} // namespace hosttest
