// SPDX-License-Identifier: MIT
// A NULL where an answer should go is refused with the function's own
// failure result before anything else happens, whether the answer is
// cached or not: no peer is asked, nothing is created.
#include "query_fixture.h"

namespace lctest {

namespace {

struct Keys {
    uint32_t iod, ifindex, pi, lif;
};

constexpr uint32_t kNull = LCACHE_ERR_NULL_ARG, kNo = 0;
// Where the outputs that are given go.
uint32_t u;
uint16_t encap;
netif_vlan_info_t info;

// The result that refuses each call with a NULL output.
const std::pair<uint32_t, uint32_t (*)(Keys)> kNullOutputs[] = {
    {kNull, [](Keys k) { return lcache_netif_get_ifindex_frm_iod(k.iod, nullptr); }},
    {kNull, [](Keys k) { return lcache_netif_get_iod_frm_ifindex(k.ifindex, nullptr); }},
    {kNull, [](Keys k) { return lcache_dmap_lib_si_to_ifidx(k.pi, nullptr); }},
    {kNull, [](Keys k) { return lcache_dmap_lib_ifidx_to_di(k.ifindex, nullptr); }},
    {kNull, [](Keys k) { return lcache_lifsvc_query_lif_to_ifindex(k.lif, nullptr); }},
    {kNull, [](Keys k) { return lcache_lifsvc_query_ifindex_to_lif(k.ifindex, nullptr); }},
    {kNull, [](Keys k) { return lcache_agg_get_pc_mbr_ifidx_from_rbh(k.ifindex, 0, nullptr); }},
    {kNull, [](Keys k) { return lcache_agg_get_fop(k.ifindex, nullptr); }},
    {kNull, [](Keys k) { return lcache_phyport_gldb_get_ifindex_port_mode(k.ifindex, nullptr); }},
    {kNull,
     [](Keys k) {
         return lcache_get_if_l2_info_by_pi(k.pi, &u, &u, &u, &encap, &u, &u, nullptr, &u);
     }},
    {kNo, [](Keys k) { return lcache_netif_get_vlan_info(k.iod, nullptr, &u); }},
    {kNo, [](Keys k) { return lcache_netif_get_vlan_info(k.iod, &info, nullptr); }},
    {kNo, [](Keys k) { return lcache_netif_is_if_mac_addr(k.iod, nullptr); }},
};

} // namespace

TEST_F(QueryTest, ANullOutputIsRefusedAlikeOnHitAndMiss) {
    model.add_member(model.add_port_channel(1), port);
    for (size_t i = 0; i < std::size(kNullOutputs); ++i) {
        SCOPED_TRACE(testing::Message() << "call " << i);
        const auto &[refused, call] = kNullOutputs[i];
        init();
        const Keys keys{iod(port), port, pi(port), lif(port)};
        sim::reset_call_counts();
        EXPECT_EQ(call(keys), refused) << "miss";
        EXPECT_EQ(std::tuple(sim::total_calls(), lcache.if_table.num_entries), std::tuple(0u, 0u));
        cache(port);
        sim::reset_call_counts();
        EXPECT_EQ(call(keys), refused) << "hit";
        EXPECT_EQ(sim::total_calls(), 0u);
        lcache_cleanup();
    }
}

} // namespace lctest
