// VLAN devices, bonds and VLAN-filtering bridges: each test runs where the
// kernel has the kind and skips, saying so, where it does not.
#include <cerrno>

#include "host_fixture.h"
#include "netif.h"

namespace hosttest {
namespace {

#define SKIP_UNLESS_SUPPORTED(call, what)                                                    \
    do {                                                                                     \
        int result_ = (call);                                                                \
        if (result_ == -EOPNOTSUPP || result_ == -EINVAL)                                    \
            GTEST_SKIP() << "this kernel has no " what " (" << strerror(-result_) << ")";   \
        ASSERT_EQ(result_, 0);                                                               \
    } while (0)

TEST_F(HostTest, AVlanDeviceIsASubInterfaceOfItsParent) {
    uint32_t port = veth_up("port1", "peer1");
    SKIP_UNLESS_SUPPORTED(control.add_vlan("port1.10", port, 10), "802.1Q VLAN devices");
    uint32_t vlan = if_nametoindex("port1.10");
    ASSERT_EQ(control.set_up(vlan, true), 0);
    EXPECT_EQ(lcache_netif_is_vlan(vlan), 1u);
    EXPECT_EQ(lcache_netif_get_if_vlanid(vlan), 10u);
    uint32_t parent = 0, want = 0;
    ASSERT_EQ(netif_get_ifindex_frm_iod(port, &want), 0u);
    parent = netif_get_sub_interface_parent(vlan);
    EXPECT_EQ(parent, want);
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
