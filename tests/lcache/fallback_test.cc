// SPDX-License-Identifier: MIT
// A process whose peer libraries do not define the nine agg / dmap /
// lifsvc / vlan / phyport functions: liblcache's own definitions answer 99
// for every caller, the library's own calls included.
#include <gmock/gmock.h>

#include <string>
#include <utility>

#include "agg.h"
#include "dmap.h"
#include "lcache.h"
#include "lcache_fixture.h"
#include "lifsvc.h"
#include "phyport.h"
#include "vlan_mgr.h"

namespace {

constexpr uint32_t kAbsent = 99;
constexpr uint32_t kUntouched = 0xA5A5A5A5;

// Where a fallback could write: an index or a bridge domain.
struct Outs {
    uint32_t out = kUntouched;
    uint16_t bd = 0xA5A5;
};

using Ask = std::pair<const char *, uint32_t (*)(Outs &)>;
#define ASK(fn, ...) Ask(#fn, [](Outs &o) { return fn(__VA_ARGS__); })

TEST(Fallback, EachOfTheNineAnswers99AndWritesNothing) {
    const Ask calls[] = {
        ASK(agg_get_pc_mbr_ifidx_from_rbh, 1, 0, &o.out),
        ASK(dmap_lib_si_to_ifidx, 1, &o.out),
        ASK(dmap_lib_ifidx_to_di, 1, &o.out),
        ASK(dmap_lib_bd_to_di, 1, &o.out),
        ASK(phyport_gldb_get_ifindex_port_mode, 1, &o.out),
        ASK(vlan_get_bd, vlan_key_t{1, 10}, &o.bd),
        ASK(vlan_get_bd_and_primary_vlan, vlan_key_t{1, 10}, &o.bd, &o.out),
        ASK(lifsvc_query_ifindex_to_lif, 1, &o.out),
        ASK(lifsvc_query_lif_to_ifindex, 1, &o.out),
    };
    for (const auto &[name, call] : calls) {
        Outs o;
        const uint32_t answer = call(o);
        EXPECT_EQ(std::tuple(answer, o.out, o.bd), std::tuple(kAbsent, kUntouched, 0xA5A5)) << name;
    }
}

// The library itself, with the simulation answering only the interface
// manager and the platform services.
class LibraryOnFallbacks : public lctest::LcacheSimTest {
  protected:
    void SetUp() override {
        model.add_vlan(10);
        init();
    }
    const sim::IfIndex port = model.add_ethernet(1, 1);
};

// A translation passes the 99 through without asking the simulation or
// creating an entry; a refreshed entry has no hardware keys and keeps asking.
TEST_F(LibraryOnFallbacks, NoTranslationOrRefreshFindsAHardwareKey) {
    uint32_t out = kUntouched;
    EXPECT_EQ(lcache_dmap_lib_si_to_ifidx(pi(port), &out), kAbsent);
    EXPECT_EQ(std::tuple(out, lcache.stats.if_allocs, calls(sim::PeerFn::dmap_lib_si_to_ifidx)),
              std::tuple(kUntouched, 0u, 0u));
    lcache_if_entry_t *entry = lcache_find_entry_by_iod(iod(port));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::tuple(entry->pi, entry->lif, entry->dirty & (LCACHE_ATTR_PI | LCACHE_ATTR_LIF)),
              std::tuple(LCACHE_NO_PI, LCACHE_NO_LIF, LCACHE_ATTR_PI | LCACHE_ATTR_LIF));
    const uint64_t pi_updates = lcache.stats.updates[LCACHE_STAT_PI];
    EXPECT_EQ(lcache_if_update_if(port), 1u);
    EXPECT_EQ(std::tuple(lcache.stats.updates[LCACHE_STAT_PI], entry->pi),
              std::tuple(pi_updates + 1, LCACHE_NO_PI));
}

TEST_F(LibraryOnFallbacks, TheVlanCacheAnswersFromAnEntryThatStaysDirty) {
    for (int round = 0; round < 2; ++round) {
        uint16_t bd = 0xA5A5;
        EXPECT_EQ(lcache_vlan_get_bd(vlan_key_t{1, 10}, &bd), 0u);
        EXPECT_EQ(bd, 0u);
    }
    EXPECT_EQ(std::tuple(lcache.stats.vlan_misses[LCACHE_VLAN_STAT_BD],
                         lcache.stats.vlan_hits[LCACHE_VLAN_STAT_BD]),
              std::tuple(2u, 0u));
    EXPECT_THAT(lctest::TraceCapture::debug_text(),
                testing::HasSubstr("lcache_vlan_get_bd: bad rv 0x63 for vlan 10\n"));
}

} // namespace
