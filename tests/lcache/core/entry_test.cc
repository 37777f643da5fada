// SPDX-License-Identifier: MIT
// An entry's life: created by any of its four keys, held by the index
// tables with a reference count, torn down lif, pi, iod then if.
#include <cerrno>
#include <cstring>

#include <gmock/gmock.h>

#include "core_test.h"

namespace coretest {

using sim::PeerFn;

class EntryTest : public CoreTest {
  protected:
    void SetUp() override { init(kKeys); }
};

// By each key an entry is created on a miss, found, flushed and removed.
TEST_F(EntryTest, EachKeyCreatesFindsFlushesAndRemoves) {
    const struct {
        lcache_if_entry_t *(*find)(uint32_t);
        uint32_t (*remove)(uint32_t);
        void (*flush)(uint32_t, uint32_t);
        uint32_t key;
        PeerFn translation;
        uint32_t traced_pi, traced_lif; // what the creation was told
    } keys[] = {
        {create, lcache_if_remove_entry_by_if, lcache_if_flush_if, eth,
         PeerFn::netif_get_iod_frm_ifindex, LCACHE_NO_PI, LCACHE_NO_LIF},
        {lcache_if_create_entry_by_iod, lcache_if_remove_entry_by_iod, lcache_if_flush_iod,
         iod(eth), PeerFn::netif_get_ifindex_frm_iod, LCACHE_NO_PI, LCACHE_NO_LIF},
        {lcache_if_create_entry_by_pi, lcache_if_remove_entry_by_pi, lcache_if_flush_pi, pi(eth),
         PeerFn::dmap_lib_si_to_ifidx, pi(eth), LCACHE_NO_LIF},
        {lcache_if_create_entry_by_lif, lcache_if_remove_entry_by_lif, lcache_if_flush_lif,
         lif(eth), PeerFn::lifsvc_query_lif_to_ifindex, LCACHE_NO_PI, lif(eth)},
    };
    for (const auto &k : keys) {
        SCOPED_TRACE(k.key);
        sim::reset_call_counts();
        forget_reports();
        lcache_if_entry_t *e = k.find(k.key);
        ASSERT_NE(e, nullptr);
        // Creation settled the iod and the type, the refresh the rest; the
        // MTU was asked although the mask does not keep it.
        EXPECT_EQ(std::tuple(e->if_index, e->if_type, e->ref_count, e->dirty, e->mtu,
                             calls(k.translation)),
                  std::tuple(eth, IF_TYPE_ETH_PORT, 4, 0u, 1500, 1u));
        EXPECT_EQ(traces().front(), text("If-create for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n",
                                         eth, iod(eth), k.traced_pi, k.traced_lif));
        forget_reports();
        EXPECT_EQ(k.find(k.key), e);
        EXPECT_EQ(std::tuple(calls(k.translation), traces().size()), std::tuple(1u, 0u));
        k.flush(k.key, 3);
        EXPECT_EQ(e->dirty, kKeys | LCACHE_ATTR_IF_TYPE);

        EXPECT_EQ(k.remove(k.key), 1u);
        EXPECT_EQ(cached(eth), nullptr);
        forget_reports();
        EXPECT_EQ(k.remove(k.key), 0u);
        // Only the removal by iod says it found nothing.
        EXPECT_EQ(traces(), k.key == iod(eth) ? Texts{text("Lcache remove failed for Interface "
                                                           "with iod %d\n",
                                                           iod(eth))}
                                              : Texts{});
        k.flush(k.key, 3); // creates the entry again
        EXPECT_EQ(lcache_if_remove_entry_by_if(eth), 1u);
    }
    EXPECT_EQ(lifecycle(), std::tuple(8u, 8u, 8u));
}

// Without create_on_miss only the creators by ifindex and iod create; a
// disabled cache creates nothing but still finds by the hardware keys.
// The translations are asked either way.
TEST_F(EntryTest, WithoutCreateOnMissOrDisabledOnlyCachedEntriesAreFound) {
    const sim::IfIndex other = model.add_ethernet(1, 2);
    for (bool disabled : {false, true}) {
        SCOPED_TRACE(disabled);
        init(kKeys);
        lcache_if_entry_t *e = create(eth);
        if (disabled)
            lcache_disable_cache();
        else
            lcache.attr.create_on_miss = 0;
        sim::reset_call_counts();
        EXPECT_EQ(std::tuple(lcache_find_entry_by_iod(iod(eth)),
                             lcache_if_create_entry_by_pi(pi(eth)),
                             lcache_if_create_entry_by_lif(lif(eth))),
                  std::tuple(e, e, e));
        EXPECT_EQ(sim::total_calls(), 0u);
        EXPECT_EQ(std::tuple(lcache_find_entry_by_iod(iod(other)),
                             lcache_if_create_entry_by_pi(pi(other)),
                             lcache_if_create_entry_by_lif(lif(other))),
                  std::tuple(nullptr, nullptr, nullptr));
        EXPECT_EQ(std::tuple(calls(PeerFn::netif_get_ifindex_frm_iod),
                             calls(PeerFn::dmap_lib_si_to_ifidx) +
                                 calls(PeerFn::lifsvc_query_lif_to_ifindex)),
                  std::tuple(disabled ? 1u : 0u, 2u));
        EXPECT_EQ(lcache_if_create_entry_by_iod(iod(other)) == nullptr, disabled);
        EXPECT_EQ(lcache.stats.if_allocs, disabled ? 1u : 2u);
        lcache_restore_cache();
    }
}

TEST_F(EntryTest, AnIodStillHeldByAnotherEntryEvictsThatEntry) {
    const sim::IfIndex a = eth, b = model.add_ethernet(1, 2);
    create(a);
    const uint32_t shared = iod(a), pi_a = pi(a), lif_a = lif(a);
    // The interface manager moved the iod without the cache hearing of it.
    model.set_iod(a, 500);
    model.set_iod(b, shared);
    forget_reports();
    lcache_if_entry_t *eb = create(b);
    EXPECT_EQ(errors(),
              Texts{text("If-create for if-index 0x%x, iod %d exists - deleting existing one "
                         "(0x%x), PI 0x%x/LIF 0x%x\n",
                         b, shared, a, pi_a, lif_a)});
    EXPECT_EQ(std::tuple(cached(a), eb->iod, eb->ref_count, lcache_find_entry_by_iod(shared)),
              std::tuple(nullptr, shared, 4, eb));
}

// A rejected creation takes nothing; one failing after the allocation
// releases the entry from wherever it got.  Last, the switch forgets the
// interface between creation's check of the ifindex and the refresh's:
// the refresh rejects the new entry, which is torn down out of every
// table it had joined.
TEST_F(EntryTest, AFailedCreationLeavesNothingBehind) {
    struct ForgetfulSwitch : sim::ModelBackend {
        using ModelBackend::ModelBackend;
        sim::Reply<uint8_t> if_index_get_type(sim::IfIndex ifindex) override {
            if (++asked == 2)
                return {0x66, 0};
            return ModelBackend::if_index_get_type(ifindex);
        }
        int asked = 0;
    } forgetful(model);
    const sim::IfIndex unknown = sim::ethernet_ifindex(1, 9);
    EXPECT_EQ(create(unknown), nullptr);
    sim::inject_fault(PeerFn::netif_get_iod_frm_ifindex, {sim::FaultKind::status, 0x77, 1});
    EXPECT_EQ(create(eth), nullptr);
    errno = 0;
    mtrack_fail_next(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(create(eth), nullptr);
    fflush(stdout);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                testing::StartsWith("Warning! Malloc Failure in "));
    EXPECT_EQ(std::tuple(errno, lcache.stats.if_create_fails), std::tuple(ENOMEM, 1u));
    EXPECT_THAT(traces(),
                testing::IsSupersetOf(
                    {std::string("lcache_if_create_entry_by_if: Malloc failure\n"),
                     text("If-create for if-index 0x%x, iod %d failed\n", eth, iod(eth))}));

    ht_fault_inject(HT_FAULT_INSERT, 1); // the if table's
    EXPECT_EQ(create(eth), nullptr);
    ht_fault_inject_after(HT_FAULT_INSERT, 1, 1); // the iod table's
    EXPECT_EQ(create(eth), nullptr);
    EXPECT_EQ(lcache.stats.iod_removes, 0u);
    sim::set_active_backend(&forgetful);
    EXPECT_EQ(create(eth), nullptr);
    sim::set_active_backend(&backend);
    EXPECT_EQ(
        errors(),
        (Texts{text(" Invalid interface index 0x%x\n", unknown),
               text("netif_get_iod_frm_ifindex failed for if-index 0x%x, err: 0x%x\n", eth, 0x77),
               text("Failed to add lcache entry for if-index 0x%x\n", eth),
               text("If-create for if-index 0x%x, iod %d failed\n", eth, iod(eth)),
               text("Failed to add iod entry for if 0x%x, iod %d\n", eth, iod(eth)),
               text("Iod-create for if-index 0x%x, iod %d failed\n", eth, iod(eth)),
               text("Invalid interface index 0x%x\n", eth)}));
    EXPECT_EQ(lifecycle(), std::tuple(3u, 3u, 2u));
    EXPECT_EQ(
        std::tuple(cached(eth), held(lcache.iod_table, iod(eth)), lcache.stats.iod_removes, live()),
        std::tuple(nullptr, nullptr, 1u, 0u));
}

// While disabled, the keyed deletes see their sync_mask bit clear and the
// removals find the entry, but the teardown declines.  Enabled, each delete
// drops one reference and only the if table's releases, at 0.
TEST_F(EntryTest, EachDeleteDropsOneReferenceAndOnlyTheIfTableReleases) {
    lcache_if_entry_t *e = create(eth);
    const lcache_stats_t before = lcache.stats;
    lcache_disable_cache();
    forget_reports();
    EXPECT_EQ(lcache_iod_delete_entry(e) + lcache_pi_delete_entry(e) + lcache_lif_delete_entry(e),
              0u);
    EXPECT_EQ(lcache_if_remove_entry_by_if(eth) + lcache_if_remove_entry_by_pi(pi(eth)) +
                  lcache_if_remove_entry_by_lif(lif(eth)),
              3u);
    EXPECT_EQ(lcache_if_remove_entry_by_iod(iod(eth)), 0u);
    lcache_if_destroy_entry(e);
    lcache_restore_cache();
    EXPECT_TRUE(traces().empty() && errors().empty());
    EXPECT_EQ(memcmp(&before, &lcache.stats, sizeof before), 0);

    EXPECT_EQ(lcache_pi_delete_entry(e) + lcache_iod_delete_entry(e), 2u);
    EXPECT_EQ(std::tuple(e->pi, e->iod, held(lcache.pi_table, pi(eth))),
              std::tuple(LCACHE_NO_PI, LCACHE_NO_IOD, nullptr));
    // Still in the lif table: the if table lets go of it but keeps it alive.
    EXPECT_EQ(lcache_if_delete_entry(e), 1u);
    EXPECT_EQ(errors(), Texts{text("Failed to delete entry for if 0x%x: ref-cnt !0?\n", eth)});
    EXPECT_EQ(lcache_lif_delete_entry(e), 1u);
    EXPECT_EQ(std::tuple(cached(eth), e->ref_count, live()), std::tuple(nullptr, 0, 1u));
    ASSERT_EQ(lcache_if_insert_entry(e), 1u);
    EXPECT_EQ(lcache_if_delete_entry(e), 1u);
    EXPECT_EQ(std::tuple(live(), lcache.stats.if_removes, lcache.stats.if_frees),
              std::tuple(0u, 2u, 1u));
}

// A delete that fails reports a possible leak, counts it and keeps the
// key; the teardown's order shows in which delete a failing removal lands.
TEST_F(EntryTest, TeardownLeavesLifPiIodThenIf) {
    const std::string leaks[] = {
        text("Failed to del lif entry for if 0x%x, iod %d, lif 0x%x; possible leak?\n", eth,
             iod(eth), lif(eth)),
        text("Failed to del pi entry for if 0x%x, iod %d, pi 0x%x; possible leak?\n", eth, iod(eth),
             pi(eth)),
        text("Failed to del iod entry for if 0x%x, iod %d;possible leak?\n", eth, iod(eth)),
        text("Failed to delete entry for if 0x%x: possible leak?\n", eth),
    };
    const lcache_stats_t &s = lcache.stats;
    for (uint32_t failing = 0; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        lcache_if_entry_t *victim = create(eth);
        forget_reports();
        ht_fault_inject_after(HT_FAULT_REMOVE, failing, 1);
        lcache_if_destroy_entry(victim);
        EXPECT_EQ(traces().front(),
                  text("If-destroy for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n", eth, iod(eth),
                       pi(eth), lif(eth)));
        const Texts reported = errors();
        ASSERT_EQ(reported.size(), failing < 3 ? 2u : 1u); // and the if table's "ref-cnt !0?"
        EXPECT_EQ(reported[0], leaks[failing]);
        EXPECT_EQ(s.lif_remove_fails + s.pi_remove_fails + s.iod_remove_fails + s.if_remove_fails,
                  failing + 1);
        if (failing < 3) {
            ASSERT_EQ(lcache_if_insert_entry(victim), 1u);
        }
        lcache_if_destroy_entry(victim); // found under the key it kept
        EXPECT_EQ(live(), 0u);
    }
}

// An interface manager may answer iod 0 with success: the entry is held
// under 0 like under any iod, and the teardown, which follows membership
// rather than the key's value, takes it out of the iod table again.
TEST_F(EntryTest, AnIodOfZeroIsHeldAndLeftLikeAnyOther) {
    for (auto [remove, key] : {std::pair{&lcache_if_remove_entry_by_if, eth},
                               std::pair{&lcache_if_remove_entry_by_iod, LCACHE_NO_IOD}}) {
        sim::inject_fault(PeerFn::netif_get_iod_frm_ifindex, {sim::FaultKind::status, 0, 1});
        lcache_if_entry_t *e = create(eth);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(std::tuple(e->iod, held(lcache.iod_table, LCACHE_NO_IOD), e->ref_count),
                  std::tuple(LCACHE_NO_IOD, e, 4));
        EXPECT_EQ(remove(key), 1u);
        EXPECT_EQ(std::tuple(held(lcache.iod_table, LCACHE_NO_IOD), live()),
                  std::tuple(nullptr, 0u));
    }
    EXPECT_EQ(lcache.stats.iod_removes, 2u);
    EXPECT_THAT(errors(), testing::IsEmpty());
}

} // namespace coretest
