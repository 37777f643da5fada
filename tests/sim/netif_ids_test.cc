// Names, owner data, port modes and routing contexts through the extern "C"
// functions.
#include <cstring>
#include <string>

#include "netif.h"
#include "rtctx.h"
#include "sim_fixture.h"

using namespace sim;

namespace {

using SimPeers = SimSwitchTest;

TEST_F(SimPeers, NamesByIodAndByIfindex) {
    EXPECT_STREQ(netif_get_if_name(iod(subif)), "Ethernet1/1.100");
    EXPECT_EQ(netif_get_if_name(kUnknownIod), nullptr);

    const std::string name = "port-channel1";
    char buf[32];
    std::memset(buf, 'x', sizeof buf);
    const auto exact = static_cast<uint32_t>(name.size() + 1);
    EXPECT_EQ(netif_get_ifindex_name(po1, buf, exact - 1), status::bad_argument);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(netif_get_ifindex_name(po1, buf, exact), status::ok);
    EXPECT_EQ(buf, name);
    EXPECT_EQ(netif_get_ifindex_name(0x1A00FFFF, buf, sizeof buf), status::no_interface);
    EXPECT_EQ(netif_get_ifindex_name(po1, nullptr, sizeof buf), status::bad_argument);
}

TEST_F(SimPeers, PrivateDataAndExtensionsPerOwnerKey) {
    model.set_private_data(eth1, 1, {0xAAAA, 16});
    model.set_private_data(eth1, 2, {0xBBBB, 4});
    model.set_extension(eth1, 1, 0x1234);
    const uint32_t i = iod(eth1);
    uint32_t size = 99;
    EXPECT_EQ(netif_get_private_data(i, 2, &size), 0xBBBBu);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(netif_get_private_data(i, 3, &size), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(netif_get_private_data(i, 1, nullptr), 0xAAAAu);
    EXPECT_EQ(netif_get_extension(i, 1), 0x1234u);
    EXPECT_EQ(netif_is_extension_set(i, 1), 1u);
    EXPECT_EQ(netif_is_extension_set(i, 2), 0u);

    model.clear_private_data(eth1, 1);
    model.set_extension(eth1, 1, 0);
    EXPECT_EQ(netif_get_private_data(i, 1, &size), 0u);
    EXPECT_EQ(netif_get_extension(i, 1), 0u);
    EXPECT_EQ(netif_is_extension_set(i, 1), 0u);
}

TEST_F(SimPeers, PortModeListAnswersEveryRequestOrNone) {
    model.set_port_mode(eth2, kPortModeIps);
    netif_port_mode_req_t req[3]{};
    req[0].if_index = eth1;
    req[1].if_index = eth2;
    req[2].if_index = svi;
    ASSERT_EQ(netif_get_ifindex_port_mode_list(req, 3), status::ok);
    EXPECT_EQ(req[0].port_mode, kPortModeNormal);
    EXPECT_EQ(req[1].port_mode, kPortModeIps);
    EXPECT_EQ(req[2].port_mode, kPortModeNormal);

    for (auto &r : req)
        r.port_mode = 7;
    req[2].if_index = 0x1A00FFFF;
    EXPECT_EQ(netif_get_ifindex_port_mode_list(req, 3), status::no_interface);
    for (const auto &r : req)
        EXPECT_EQ(r.port_mode, 7u);
    EXPECT_EQ(netif_get_ifindex_port_mode_list(req, 2), status::ok); // count bounds the list
    EXPECT_EQ(netif_get_ifindex_port_mode_list(nullptr, 1), status::bad_argument);
}

TEST_F(SimPeers, RoutingContextAndBaseTable) {
    model.set_routing_context(eth1, 7);
    const struct {
        IfIndex ifindex;
        uint32_t context;
    } rows[] = {{eth2, kDefaultContext}, {mgmt, kManagementContext}, {eth1, 7}};
    for (const auto &row : rows) {
        const uint32_t i = iod(row.ifindex);
        EXPECT_EQ(rtctx_if_get_context_id(i), row.context);
        EXPECT_EQ(rtctx_if_get_table_id(i, RTCTX_AF_IPV4, "base"), base_table_id(row.context));
        EXPECT_EQ(rtctx_if_get_table_id(i, 2, "base"), 0u);
        EXPECT_EQ(rtctx_if_get_table_id(i, RTCTX_AF_IPV4, "mgmt"), 0u);
        EXPECT_EQ(rtctx_if_get_table_id(i, RTCTX_AF_IPV4, nullptr), 0u);
    }
    EXPECT_EQ(rtctx_if_get_table_id(kUnknownIod, RTCTX_AF_IPV4, "base"), 0u);
}

} // namespace
