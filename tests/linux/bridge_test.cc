// SPDX-License-Identifier: MIT
// The notification bridge's population rules, its overrun recovery, its
// descriptor hygiene, the peers' answers where Linux has no counterpart or
// no interface, and the optional kinds of link.
#include <sys/socket.h>

#include <cerrno>
#include <filesystem>

#include "host_fixture.h"
#include "if_index.h"
#include "lifsvc.h"
#include "netif.h"

namespace hosttest {
namespace {

uint32_t ifindex_of(uint32_t iod) {
    uint32_t if_index = 0;
    EXPECT_EQ(lcache_netif_get_ifindex_frm_iod(iod, &if_index), 0u);
    return if_index;
}

bool cached(uint32_t if_index) { return ht_lookup(&lcache.if_table, &if_index) != nullptr; }

// Notifications about an interface no one asked for create nothing; once
// asked for, its deletion removes it.
TEST_F(HostTest, UncachedInterfacesAreSkippedAndDeletionRemovesTheEntry) {
    uint32_t port = veth_up("port1", "peer1");
    EXPECT_EQ(dispatch(), 0);
    EXPECT_GT(counters().messages_skipped, 0u);
    EXPECT_EQ(lcache.stats.if_allocs, 0u) << "a notification created an entry";
    uint32_t if_index = ifindex_of(port);
    ASSERT_TRUE(cached(if_index));
    ASSERT_EQ(control.remove(port), 0);
    EXPECT_GT(dispatch(), 0);
    EXPECT_FALSE(cached(if_index));
    EXPECT_EQ(lcache.stats.if_frees, lcache.stats.if_allocs);
}

TEST_F(HostTest, AnOverrunFlushesEverythingAndAnswersStayRight) {
    uint32_t port = veth_up("port1", "peer1");
    ASSERT_EQ(lcache_netif_get_if_mtu(port), 1500u);
    dispatch();
    int tiny = 1; // the kernel rounds it up to its minimum
    ASSERT_EQ(setsockopt(lcache_linux_fd(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
    for (uint32_t mtu = 1300; mtu < 1340; ++mtu)
        ASSERT_EQ(control.set_mtu(port, mtu), 0);
    dispatch();
    EXPECT_GE(counters().overruns, 1u);
    EXPECT_EQ(lcache_netif_get_if_mtu(port), 1339u);
    EXPECT_EQ(lcache_netif_is_linkup(port), 1u);
}

auto open_descriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

TEST_F(HostTest, OpenCloseCyclesLeaveNoDescriptor) {
    lcache_linux_close();
    const auto before = open_descriptors();
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(lcache_linux_open(), 0);
        EXPECT_EQ(lcache_linux_open(), -EALREADY);
        EXPECT_GE(lcache_linux_fd(), 0);
        EXPECT_EQ(netif_is_loopback(if_nametoindex("lo")), 1u); // opens the request socket
        lcache_linux_close();
        EXPECT_EQ(lcache_linux_fd(), -EBADF);
        EXPECT_EQ(lcache_linux_dispatch(), -EBADF);
    }
    EXPECT_EQ(open_descriptors(), before);
    ASSERT_EQ(lcache_linux_open(), 0);
}

// An unknown iod, an unknown ifindex and a known port under another type
// code are all not found, and none creates an entry.
TEST_F(HostTest, AMissingInterfaceOrAWrongTypeAnswersNotFound) {
    uint32_t port = veth_up("port1", "peer1"), out = 0;
    EXPECT_EQ(netif_get_ifindex_frm_iod(4000, &out), LCACHE_LINUX_NO_INTERFACE);
    EXPECT_EQ(netif_get_iod_frm_ifindex(26u << 24 | 4000, &out), LCACHE_LINUX_NO_INTERFACE);
    EXPECT_EQ(netif_get_if_name(4000), nullptr);
    EXPECT_EQ(lcache_netif_get_if_mtu(4000), 0u);
    EXPECT_EQ(lcache.stats.if_allocs, 0u);
    EXPECT_EQ(netif_get_iod_frm_ifindex(26u << 24 | port, &out), 0u);
    EXPECT_EQ(out, port);
    EXPECT_EQ(netif_get_iod_frm_ifindex(22u << 24 | port, &out), LCACHE_LINUX_NO_INTERFACE);
}

TEST_F(HostTest, LoopbackAnswersWhatAClientCanRelyOn) {
    uint32_t lo = if_nametoindex("lo");
    uint8_t type = 0;
    EXPECT_EQ(if_index_get_type(ifindex_of(lo), &type), 0u);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(lcache_netif_is_loopback(lo), 1u);
    EXPECT_EQ(lcache_netif_get_if_mtu(lo), 0xFFFFu) << "65536 does not fit 16 bits";
    EXPECT_STREQ(lcache_netif_get_if_name(lo), "lo");
}

// The lif and the port index are derived from the kernel ifindex.  The
// way back from a lif is asked of the peer as well: the cache answers it
// from the entry the first call made.
TEST_F(HostTest, TheLinuxPeersReplaceTheFallbacks) {
    uint32_t port = veth_up("port1", "peer1");
    uint32_t if_index = ifindex_of(port), lif = LCACHE_NO_LIF, di = LCACHE_NO_PI, back = 0;
    uint32_t peer_back = 0;
    EXPECT_EQ((std::array{lcache_lifsvc_query_ifindex_to_lif(if_index, &lif),
                          lcache_dmap_lib_ifidx_to_di(if_index, &di),
                          lcache_lifsvc_query_lif_to_ifindex(lif, &back),
                          lifsvc_query_lif_to_ifindex(lif, &peer_back), lif, di, back, peer_back}),
              (std::array{0u, 0u, 0u, 0u, 0x1000u + port, port, if_index, if_index}));
}

// VLAN devices and bonds: each test runs where the kernel has the kind and
// skips, saying so, where it does not.
TEST_F(HostTest, AVlanDeviceIsASubInterfaceOfItsParent) {
    uint32_t port = veth_up("port1", "peer1");
    SKIP_UNLESS_SUPPORTED(control.add_vlan("port1.10", port, 10), "802.1Q VLAN devices");
    uint32_t vlan = if_nametoindex("port1.10");
    ASSERT_EQ(control.set_up(vlan, true), 0);
    EXPECT_EQ(lcache_netif_is_vlan(vlan), 1u);
    EXPECT_EQ(lcache_netif_get_if_vlanid(vlan), 10u);
    uint32_t parent = 0;
    ASSERT_EQ(netif_get_ifindex_frm_iod(port, &parent), 0u);
    EXPECT_EQ(netif_get_sub_interface_parent(vlan), parent);
    netif_vlan_info_t info{};
    uint32_t word = 0;
    EXPECT_EQ(lcache_netif_get_vlan_info(vlan, &info, &word), 1u);
    EXPECT_EQ(info.vlan, 10u);
}

TEST_F(HostTest, ABondIsAPortChannelWithItsFirstOperationalMember) {
    uint32_t port = veth_up("port1", "peer1");
    SKIP_UNLESS_SUPPORTED(control.add_bond("bond0"), "bonding driver");
    uint32_t bond = if_nametoindex("bond0");
    ASSERT_EQ(control.set_up(port, false), 0);
    ASSERT_EQ(control.set_master(port, bond), 0);
    ASSERT_EQ(control.set_up(port, true), 0);
    ASSERT_EQ(control.set_up(bond, true), 0);
    uint32_t bond_ifindex = 0, member = 0, fop = 0;
    ASSERT_EQ(netif_get_ifindex_frm_iod(bond, &bond_ifindex), 0u);
    ASSERT_EQ(netif_get_ifindex_frm_iod(port, &member), 0u);
    EXPECT_EQ(bond_ifindex >> 24, 22u);
    EXPECT_EQ(lcache_agg_get_fop(bond_ifindex, &fop), 0u);
    EXPECT_EQ(fop, member);
    dispatch();
    ASSERT_EQ(control.set_up(if_nametoindex("peer1"), false), 0);
    dispatch();
    EXPECT_NE(lcache_agg_get_fop(bond_ifindex, &fop) == 0 && fop == member, true)
        << "the member without carrier is still the first operational one";
}

} // namespace
} // namespace hosttest
