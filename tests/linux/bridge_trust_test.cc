// SPDX-License-Identifier: MIT
// The notification bridge trusts only the kernel and never loses step:
// messages larger than a dump's usual datagram are read whole, messages
// from other senders change nothing, and a trace callback cannot re-enter
// a dispatch that is applying a change.
#include <gmock/gmock.h>

// net/if.h ahead of linux/if.h, which then leaves out what glibc declares.
#include <net/if.h>

#include <linux/if.h>
#include <linux/if_link.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "netlink_by_hand.h"
#include "netif.h"

namespace hosttest {
namespace {

// Enough alternative names of the longest length to take a link's
// message past 32 KiB.
constexpr int kAltnames = 300;
constexpr size_t kAltnameLength = 127;

std::string altname(int i) {
    std::string name = "port1-alt-" + std::to_string(i) + "-";
    name.resize(kAltnameLength, 'x');
    return name;
}

TEST_F(HostTest, MessagesOverThirtyTwoKilobytesAreReadWhole) {
    uint32_t port = veth_up("port1", "peer1");
    // Operational first: late carrier news would otherwise queue beside the
    // MTU change.
    ASSERT_TRUE(dispatch_until([&] { return netif_is_protoup(port) == 1; }));
    // Closed meanwhile: a notification per name would overrun its queue.
    lcache_linux_close();
    // qemu-user does not translate link property requests.
    SKIP_UNLESS_SUPPORTED(control.add_altname(port, altname(0)), "alternative names");
    for (int i = 1; i < kAltnames; ++i)
        ASSERT_EQ(control.add_altname(port, altname(i)), 0) << altname(i);
    ASSERT_GT(kernel_message(port).size(), 32768u);

    EXPECT_EQ(netif_get_if_mtu(port), 1500u);
    EXPECT_STREQ(netif_get_if_name(port), "port1");
    ASSERT_GE(lcache_linux_sync(), 2);
    EXPECT_EQ(lcache_netif_get_if_mtu(port), 1500u);
    EXPECT_STREQ(lcache_netif_get_if_name(port), "port1");

    lcache_linux_reset_counters();
    ASSERT_EQ(control.set_mtu(port, 9000), 0);
    EXPECT_TRUE(dispatch_until([&] { return lcache_netif_get_if_mtu(port) == 9000; }));
    const lcache_linux_counters_t c = counters();
    EXPECT_GE(c.messages_handled, 1u);
    EXPECT_EQ((std::array{c.messages_malformed, c.overruns, c.resyncs}),
              (std::array<uint64_t, 3>{0, 0, 0}));
}

// The kernel's own message about a link, made to claim MTU 1 and no link.
std::vector<unsigned char> forged_down(std::vector<unsigned char> bytes) {
    auto *message = reinterpret_cast<nlmsghdr *>(bytes.data());
    message->nlmsg_flags = 0;
    message->nlmsg_seq = 0;
    message->nlmsg_pid = 0;
    auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_get_payload(message));
    ifi->ifi_flags &= ~(IFF_UP | IFF_RUNNING | IFF_LOWER_UP);
    const auto *tail = static_cast<const char *>(mnl_nlmsg_get_payload_tail(message));
    for (auto *attr = static_cast<nlattr *>(mnl_nlmsg_get_payload_offset(message, sizeof *ifi));
         mnl_attr_ok(attr, static_cast<int>(tail - reinterpret_cast<const char *>(attr)));
         attr = mnl_attr_next(attr)) {
        void *payload = mnl_attr_get_payload(attr);
        const uint32_t mtu = 1;
        const uint8_t no = 0, down = IF_OPER_DOWN;
        switch (mnl_attr_get_type(attr)) {
        case IFLA_MTU:
            memcpy(payload, &mtu, sizeof mtu);
            break;
        case IFLA_CARRIER:
            memcpy(payload, &no, sizeof no);
            break;
        case IFLA_OPERSTATE:
            memcpy(payload, &down, sizeof down);
            break;
        }
    }
    return bytes;
}

TEST_F(HostTest, OnlyTheKernelIsBelieved) {
    uint32_t port = veth_up("port1", "peer1");
    ASSERT_TRUE(dispatch_until([&] { return lcache_netif_is_protoup(port) == 1; }));
    auto answers = [port] {
        return std::array<uint32_t, 3>{lcache_netif_get_if_mtu(port),
                                       lcache_netif_is_linkup(port),
                                       lcache_netif_is_protoup(port)};
    };
    const std::array<uint32_t, 3> healthy{1500, 1, 1};
    ASSERT_EQ(answers(), healthy);

    std::vector<unsigned char> forged = forged_down(kernel_message(port));
    ASSERT_FALSE(forged.empty());
    Forger forger;
    ASSERT_TRUE(forger.bound()) << strerror(errno);
    auto send_both_ways = [&] {
        EXPECT_TRUE(forger.send(forged, port_of(lcache_linux_fd()), 0)) << strerror(errno);
        EXPECT_TRUE(forger.send(forged, 0, RTMGRP_LINK)) << strerror(errno);
    };
    lcache_linux_reset_counters();

    send_both_ways();
    ASSERT_TRUE(dispatch_until([] { return counters().messages_foreign == 2; }));
    ASSERT_EQ(answers(), healthy) << "a forged message was applied";

    // Lengths that would wrap a framing that trusted them.
    for (uint32_t length : {0xFFFFFFF0u, 0xFFFFFFFFu}) {
        reinterpret_cast<nlmsghdr *>(forged.data())->nlmsg_len = length;
        send_both_ways();
    }
    EXPECT_TRUE(dispatch_until([] { return counters().messages_foreign == 6; }));
    EXPECT_EQ(answers(), healthy);
    EXPECT_EQ(counters().messages_malformed, 0u);
}

// Records what the bridge answers a trace callback that calls it while
// armed, that is while the test's dispatch runs.
struct Reentry {
    static inline bool armed = false;
    static inline std::vector<int> answers;

    static int trace(uint32_t, const char *, ...) {
        if (armed) {
            answers.push_back(lcache_linux_dispatch());
            answers.push_back(lcache_linux_sync());
        }
        return 0;
    }
};

TEST_F(HostTest, ATraceCallbackCannotReenterADispatch) {
    uint32_t port = veth_up("port1", "peer1");
    ASSERT_TRUE(dispatch_until([&] { return lcache_netif_is_protoup(port) == 1; }));
    ASSERT_EQ(lcache_netif_get_if_mtu(port), 1500u);
    Reentry::answers.clear();
    lcache_set_print(Reentry::trace, 0);

    ASSERT_EQ(control.set_mtu(port, 1400), 0);
    bool changed = dispatch_until([&] {
        Reentry::armed = false;
        bool done = lcache_netif_get_if_mtu(port) == 1400;
        Reentry::armed = !done;
        return done;
    });
    Reentry::armed = false;
    lcache_set_print(nullptr, 0);

    EXPECT_TRUE(changed) << "the dispatch did not complete the change";
    ASSERT_FALSE(Reentry::answers.empty()) << "no trace ran while the change was applied";
    EXPECT_THAT(Reentry::answers, ::testing::Each(-EBUSY));
    EXPECT_EQ(counters().messages_malformed, 0u);
}

} // namespace
} // namespace hosttest
