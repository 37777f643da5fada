// The six identifier translations.
#include "query_fixture.h"

namespace {

using lctest::entry_allocs;
using lctest::StatsDelta;
using lctest::sync_without;
using sim::Fault;
using sim::FaultKind;
using sim::PeerFn;

enum class Key { ifindex, iod, pi, lif };

struct Translation {
    const char *name;
    uint32_t (*translate)(uint32_t key, uint32_t *out);
    Key from, to;
    uint32_t bit;
    lcache_stat_row_t row;
    uint64_t lcache_stats_t::*key_refreshes;
    uint32_t refresh_failed;
    PeerFn peer;
    bool creates;
};

const Translation kTranslations[] = {
    {"ifindex_frm_iod", lcache_netif_get_ifindex_frm_iod, Key::iod, Key::ifindex, 0x2,
     LCACHE_STAT_IOD, &lcache_stats_t::upd_iod, 0x40E30001, PeerFn::netif_get_ifindex_frm_iod,
     true},
    {"iod_frm_ifindex", lcache_netif_get_iod_frm_ifindex, Key::ifindex, Key::iod, 0x2,
     LCACHE_STAT_IOD, &lcache_stats_t::upd_iod, 0x40E30001, PeerFn::netif_get_iod_frm_ifindex,
     false},
    {"si_to_ifidx", lcache_dmap_lib_si_to_ifidx, Key::pi, Key::ifindex, 0x4, LCACHE_STAT_PI,
     &lcache_stats_t::upd_pi, 0x40E00003, PeerFn::dmap_lib_si_to_ifidx, true},
    {"ifidx_to_di", lcache_dmap_lib_ifidx_to_di, Key::ifindex, Key::pi, 0x4, LCACHE_STAT_PI,
     &lcache_stats_t::upd_pi, 0x40E00003, PeerFn::dmap_lib_ifidx_to_di, true},
    {"lif_to_ifindex", lcache_lifsvc_query_lif_to_ifindex, Key::lif, Key::ifindex, 0x8,
     LCACHE_STAT_LIF, &lcache_stats_t::upd_lif, 0x41080003, PeerFn::lifsvc_query_lif_to_ifindex,
     true},
    {"ifindex_to_lif", lcache_lifsvc_query_ifindex_to_lif, Key::ifindex, Key::lif, 0x8,
     LCACHE_STAT_LIF, &lcache_stats_t::upd_lif, 0x41080003, PeerFn::lifsvc_query_ifindex_to_lif,
     true},
};

constexpr uint32_t kUntouched = 0xDEADBEEF;

class TranslationTest : public lctest::QueryTest {
  protected:
    uint32_t key(sim::IfIndex ifindex, Key k) const {
        switch (k) {
        case Key::iod: return iod(ifindex);
        case Key::pi: return pi(ifindex);
        case Key::lif: return lif(ifindex);
        default: return ifindex;
        }
    }
    // A port of its own for each case, so a remapped model never leaks into
    // the next one.
    sim::IfIndex fresh_port() { return model.add_ethernet(2, ++ports_); }

  private:
    uint32_t ports_ = 0;
};

TEST_F(TranslationTest, ClosedGateOrNoEntryAsksThePeer) {
    for (const Translation &t : kTranslations) {
        SCOPED_TRACE(t.name);
        for (bool gate_open : {false, true}) {
            init(gate_open ? lctest::kSyncAll : sync_without(t.bit));
            lcache.attr.create_on_miss = 0;
            uint32_t out = kUntouched;
            EXPECT_EQ(t.translate(key(port, t.from), &out), 0u);
            EXPECT_EQ(out, key(port, t.to));
            EXPECT_EQ(calls(t.peer), 1u);
            EXPECT_EQ(lcache.stats.misses[t.row], 1u);
            EXPECT_EQ(lcache.stats.if_allocs, 0u);
        }
        // A failing peer's status comes back unchanged, the output as it was.
        sim::inject_fault(t.peer, Fault{FaultKind::status, 0x1234, 1});
        uint32_t out = kUntouched;
        EXPECT_EQ(t.translate(key(port, t.from), &out), 0x1234u);
        EXPECT_EQ(out, kUntouched);
    }
}

TEST_F(TranslationTest, CreatesOnMissThenHitsWithoutPeerCallOrAllocation) {
    init();
    for (const Translation &t : kTranslations) {
        SCOPED_TRACE(t.name);
        const sim::IfIndex p = fresh_port();
        const uint64_t allocs = entry_allocs();
        uint32_t out = kUntouched;
        EXPECT_EQ(t.translate(key(p, t.from), &out), 0u);
        EXPECT_EQ(out, key(p, t.to));
        EXPECT_EQ(entry_allocs() - allocs, t.creates ? 1u : 0u);

        cache(p);
        sim::reset_call_counts();
        const StatsDelta d;
        out = kUntouched;
        EXPECT_EQ(t.translate(key(p, t.from), &out), 0u);
        EXPECT_EQ(out, key(p, t.to));
        EXPECT_EQ(d.hit(t.row), 1u);
        EXPECT_EQ(peer_calls(), 0u);
        EXPECT_EQ(entry_allocs() - allocs, 1u);
    }
}

TEST_F(TranslationTest, DirtyKeyRunsTheRefreshFirst) {
    init();
    for (const Translation &t : kTranslations) {
        SCOPED_TRACE(t.name);
        const sim::IfIndex p = fresh_port();
        cache(p).dirty |= t.bit;
        const StatsDelta d;
        uint32_t out = kUntouched;
        EXPECT_EQ(t.translate(key(p, t.from), &out), 0u);
        EXPECT_EQ(out, key(p, t.to));
        EXPECT_EQ(d.miss(t.row), 1u);
        EXPECT_EQ(d.hit(t.row), 0u);
        EXPECT_EQ(d.of(t.key_refreshes), 1u);
        EXPECT_EQ(d.update(t.row), 1u) << "the refresh fetched the key";
    }
}

TEST_F(TranslationTest, RefreshFindingTheIodRemappedFailsWithTheTranslationsStatus) {
    init();
    for (const Translation &t : kTranslations) {
        SCOPED_TRACE(t.name);
        const sim::IfIndex p = fresh_port();
        lcache_if_entry_t &entry = cache(p);
        const uint32_t k = key(p, t.from);
        model.set_iod(p, iod(p) + 1000);
        entry.dirty |= t.bit | LCACHE_ATTR_IOD;
        const StatsDelta d;
        uint32_t out = kUntouched;
        EXPECT_EQ(t.translate(k, &out), t.refresh_failed);
        EXPECT_EQ(out, kUntouched);
        EXPECT_EQ(d.of(&lcache_stats_t::iod_remaps), 1u);
    }
}

} // namespace
