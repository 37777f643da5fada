// SPDX-License-Identifier: MIT
// The six identifier translations.
#include "query_fixture.h"

namespace lctest {

enum Key { kIfindex, kIod, kPi, kLif };

// lcache_<fn> over the peer's <fn>, gated and refreshed by the key KEY.
#define ROW(fn, from, to, KEY, key, creates)                                                       \
    {                                                                                              \
        lcache_##fn, from, to, LCACHE_ATTR_##KEY, LCACHE_STAT_##KEY, &lcache_stats_t::upd_##key,   \
            LCACHE_ERR_##KEY##_REFRESH, PeerFn::fn, creates                                        \
    }
const struct Translation {
    uint32_t (*translate)(uint32_t key, uint32_t *out);
    Key from, to;
    uint32_t bit;
    lcache_stat_row_t row;
    uint64_t lcache_stats_t::*key_refreshes;
    uint32_t refresh_failed;
    PeerFn peer;
    bool creates;
} kTranslations[] = {
    ROW(netif_get_ifindex_frm_iod, kIod, kIfindex, IOD, iod, true),
    ROW(netif_get_iod_frm_ifindex, kIfindex, kIod, IOD, iod, false),
    ROW(dmap_lib_si_to_ifidx, kPi, kIfindex, PI, pi, true),
    ROW(dmap_lib_ifidx_to_di, kIfindex, kPi, PI, pi, true),
    ROW(lifsvc_query_lif_to_ifindex, kLif, kIfindex, LIF, lif, true),
    ROW(lifsvc_query_ifindex_to_lif, kIfindex, kLif, LIF, lif, true),
#undef ROW
};

// A closed gate or a missing entry asks the peer, whose failure comes back
// unchanged with the output as it was.  A miss creates the entry (except
// from the iod, which a creation would have to ask for), then a hit answers
// without a peer.  A dirty key runs the refresh first, and a refresh that
// finds the iod remapped fails with the translation's own status.
TEST_F(QueryTest, EachTranslation) {
    for (const Translation &t : kTranslations) {
        SCOPED_TRACE(sim::peer_fn_name(t.peer));
        const auto ask = [&](uint32_t from = 0) {
            const uint32_t keys[] = {port, iod(port), pi(port), lif(port)};
            uint32_t out = kUntouched;
            const uint32_t status = t.translate(from ? from : keys[t.from], &out);
            return std::pair(status, out == keys[t.to] ? 0 : out);
        };
        for (uint32_t closed : {t.bit, 0u}) {
            init_passing(closed);
            EXPECT_EQ(ask(), std::pair(0u, 0u));
            EXPECT_EQ(std::tuple(calls(t.peer), misses(t.row), lcache.stats.if_allocs),
                      std::tuple(1u, 1u, 0u));
        }
        sim::inject_fault(t.peer, Fault{FaultKind::status, 0x1234, 1});
        EXPECT_EQ(ask(), std::pair(0x1234u, kUntouched));

        init();
        EXPECT_EQ(ask(), std::pair(0u, 0u));
        EXPECT_EQ(lcache.stats.if_allocs, t.creates ? 1u : 0u);
        lcache_if_entry_t &entry = cache(port);
        sim::reset_call_counts();
        zero_stats();
        EXPECT_EQ(ask(), std::pair(0u, 0u));
        EXPECT_EQ(std::tuple(hits(t.row), peer_calls()), std::tuple(1u, 0u));
        entry.dirty |= t.bit;
        EXPECT_EQ(ask(), std::pair(0u, 0u));
        EXPECT_EQ(
            std::tuple(misses(t.row), hits(t.row), lcache.stats.*t.key_refreshes, updates(t.row)),
            std::tuple(1u, 1u, 1u, 1u));

        const uint32_t from = t.from == kIod ? iod(port) : 0;
        model.set_iod(port, iod(port) + 1000);
        entry.dirty |= t.bit | LCACHE_ATTR_IOD;
        EXPECT_EQ(ask(from), std::pair(t.refresh_failed, kUntouched));
        EXPECT_EQ(lcache.stats.iod_remaps, 1u);
    }
}

} // namespace lctest
