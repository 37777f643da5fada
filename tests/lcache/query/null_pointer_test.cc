// A NULL where an answer should go is refused with the function's own
// failure result before anything else happens, whether the answer is
// cached or not: no peer is asked, nothing is created.
#include <functional>

#include "query_fixture.h"

namespace lctest {

namespace {

// One refusal: the call with a NULL output, given the port's keys.
struct NullOutput {
    const char *name;
    std::function<uint32_t(uint32_t iod, uint32_t ifindex, uint32_t pi, uint32_t lif)> call;
    uint32_t refused;
};

const NullOutput kNullOutputs[] = {
    {"ifindex_frm_iod",
     [](auto iod, auto, auto, auto) { return lcache_netif_get_ifindex_frm_iod(iod, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"iod_frm_ifindex",
     [](auto, auto ifx, auto, auto) { return lcache_netif_get_iod_frm_ifindex(ifx, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"si_to_ifidx",
     [](auto, auto, auto pi, auto) { return lcache_dmap_lib_si_to_ifidx(pi, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"ifidx_to_di",
     [](auto, auto ifx, auto, auto) { return lcache_dmap_lib_ifidx_to_di(ifx, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"lif_to_ifindex",
     [](auto, auto, auto, auto lif) { return lcache_lifsvc_query_lif_to_ifindex(lif, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"ifindex_to_lif",
     [](auto, auto ifx, auto, auto) { return lcache_lifsvc_query_ifindex_to_lif(ifx, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"pc_mbr",
     [](auto, auto ifx, auto, auto) {
         return lcache_agg_get_pc_mbr_ifidx_from_rbh(ifx, 0, nullptr);
     },
     LCACHE_ERR_NULL_ARG},
    {"fop", [](auto, auto ifx, auto, auto) { return lcache_agg_get_fop(ifx, nullptr); },
     LCACHE_ERR_NULL_ARG},
    {"port_mode",
     [](auto, auto ifx, auto, auto) {
         return lcache_phyport_gldb_get_ifindex_port_mode(ifx, nullptr);
     },
     LCACHE_ERR_NULL_ARG},
    {"l2_info",
     [](auto, auto, auto pi, auto) {
         uint32_t u = 0;
         uint16_t encap = 0;
         return lcache_get_if_l2_info_by_pi(pi, &u, &u, &u, &encap, &u, &u, nullptr, &u);
     },
     LCACHE_ERR_NULL_ARG},
    {"vlan_info",
     [](auto iod, auto, auto, auto) {
         uint32_t word = 0;
         return lcache_netif_get_vlan_info(iod, nullptr, &word);
     },
     0},
    {"vlan_info word",
     [](auto iod, auto, auto, auto) {
         netif_vlan_info_t info{};
         return lcache_netif_get_vlan_info(iod, &info, nullptr);
     },
     0},
    {"is_if_mac_addr",
     [](auto iod, auto, auto, auto) { return lcache_netif_is_if_mac_addr(iod, nullptr); }, 0},
};

} // namespace

TEST_F(QueryTest, ANullOutputIsRefusedAlikeOnHitAndMiss) {
    model.add_member(model.add_port_channel(1), port);
    for (const NullOutput &n : kNullOutputs) {
        SCOPED_TRACE(n.name);
        init();
        const auto ask = [&] { return n.call(iod(port), port, pi(port), lif(port)); };
        sim::reset_call_counts();
        EXPECT_EQ(ask(), n.refused) << "miss";
        EXPECT_EQ(std::tuple(sim::total_calls(), lcache.if_table.num_entries), std::tuple(0u, 0u));
        cache(port);
        sim::reset_call_counts();
        EXPECT_EQ(ask(), n.refused) << "hit";
        EXPECT_EQ(sim::total_calls(), 0u);
        lcache_cleanup();
    }
}

// Private data's size may be NULL, on the peer's path and the cache's.
TEST_F(QueryTest, PrivateDataMayBeAskedWithoutItsSize) {
    model.set_private_data(port, kHistId, {77, 4});
    lcache_attr a = attr_with(kSyncAll);
    a.ext_fn[0] = [](uint32_t data, uint32_t) { return data; };
    init(a);
    EXPECT_EQ(lcache_netif_get_private_data(iod(port) + 1000, kHistId, nullptr), 0u);
    cache(port);
    EXPECT_EQ(lcache_netif_get_private_data(iod(port), kHistId, nullptr), 77u);
}

} // namespace lctest
