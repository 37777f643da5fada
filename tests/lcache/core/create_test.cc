// Finding and creating entries by each key, the stale-iod eviction, every
// way a creation can fail, and the memory the cache holds across init and
// cleanup.
#include <cerrno>

#include <gmock/gmock.h>

#include "core_test.h"

namespace {

using coretest::CoreTest;
using coretest::kKeys;
using coretest::text;
using coretest::Texts;
using sim::PeerFn;

class CreateTest : public CoreTest {
  protected:
    static uint64_t live() { return lctest::live_blocks(LCACHE_MEM_lcache_if_entry_t); }
};

TEST_F(CreateTest, EachKeyCreatesOnAMissAndFindsTheEntryAfterwards) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    struct Case {
        const char *name;
        lcache_if_entry_t *(*find)(uint32_t);
        uint32_t key;
        PeerFn translation;
        uint32_t traced_pi, traced_lif; // what the creation was told
    };
    const Case cases[] = {
        {"if", [](uint32_t k) { return create(k); }, eth, PeerFn::netif_get_iod_frm_ifindex,
         LCACHE_NO_PI, LCACHE_NO_LIF},
        {"iod", lcache_if_create_entry_by_iod, iod(eth), PeerFn::netif_get_ifindex_frm_iod,
         LCACHE_NO_PI, LCACHE_NO_LIF},
        {"find by iod", lcache_find_entry_by_iod, iod(eth), PeerFn::netif_get_ifindex_frm_iod,
         LCACHE_NO_PI, LCACHE_NO_LIF},
        {"pi", lcache_if_create_entry_by_pi, pi(eth), PeerFn::dmap_lib_si_to_ifidx, pi(eth),
         LCACHE_NO_LIF},
        {"lif", lcache_if_create_entry_by_lif, lif(eth), PeerFn::lifsvc_query_lif_to_ifindex,
         LCACHE_NO_PI, lif(eth)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        init(kKeys | LCACHE_ATTR_LINKUP);
        forget_reports();
        lcache_if_entry_t *e = c.find(c.key);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->if_index, eth);
        EXPECT_EQ(e->if_type, IF_TYPE_ETH_PORT);
        EXPECT_EQ(calls(c.translation), 1u);
        EXPECT_EQ(calls(PeerFn::netif_is_linkup), 1u);
        EXPECT_EQ(traces().front(), text("If-create for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n",
                                         eth, iod(eth), c.traced_pi, c.traced_lif));
        EXPECT_EQ(lcache.stats.if_allocs, 1u);

        sim::reset_call_counts();
        forget_reports();
        EXPECT_EQ(c.find(c.key), e);
        EXPECT_EQ(calls(c.translation), 0u);
        EXPECT_EQ(lcache.stats.if_allocs, 1u);
        EXPECT_TRUE(traces().empty());
    }
}

TEST_F(CreateTest, ANewEntryStartsWithTheSyncMaskDirtyAndOnlyItsIod) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(LCACHE_ATTR_IOD | LCACHE_ATTR_NAME);
    lcache_if_entry_t *e = create(eth);
    ASSERT_NE(e, nullptr);
    // The refresh fetches neither key nor name; creation settled the iod
    // and the type.
    EXPECT_EQ(e->dirty, LCACHE_ATTR_NAME);
    EXPECT_EQ(e->ref_count, 2);
    EXPECT_EQ(e->mtu, 1500); // asked at creation, although the mask does not keep it
    EXPECT_EQ(calls(PeerFn::netif_get_iod_frm_ifindex), 1u);

    init(LCACHE_ATTR_NAME);
    e = create(eth);
    EXPECT_EQ(e->iod, LCACHE_NO_IOD);
    EXPECT_EQ(e->ref_count, 1);
}

TEST_F(CreateTest, WithoutCreateOnMissOnlyTheIodCreatorStillCreates) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(kKeys);
    lcache.attr.create_on_miss = 0;
    EXPECT_EQ(lcache_find_entry_by_iod(iod(eth)), nullptr);
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_frm_iod), 0u);
    // The translation is asked before create_on_miss is looked at.
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(eth)), nullptr);
    EXPECT_EQ(calls(PeerFn::dmap_lib_si_to_ifidx), 1u);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(eth)), nullptr);
    EXPECT_EQ(calls(PeerFn::lifsvc_query_lif_to_ifindex), 1u);
    EXPECT_EQ(lcache.stats.if_allocs, 0u);

    lcache_if_entry_t *e = lcache_if_create_entry_by_iod(iod(eth));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(lcache_find_entry_by_iod(iod(eth)), e);
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(eth)), e);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(eth)), e);
}

TEST_F(CreateTest, ADisabledCacheCreatesNothingButFindsByHardwareKeys) {
    const sim::IfIndex kept = model.add_ethernet(1, 1);
    const sim::IfIndex other = model.add_ethernet(1, 2);
    init(kKeys);
    lcache_if_entry_t *e = create(kept);
    lcache_disable_cache();
    sim::reset_call_counts();

    EXPECT_EQ(create(kept), nullptr); // the ifindex path stops first
    EXPECT_EQ(lcache_if_create_entry_by_iod(iod(kept)), e);
    EXPECT_EQ(lcache_find_entry_by_iod(iod(kept)), e);
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(kept)), e);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(kept)), e);
    EXPECT_EQ(sim::total_calls(), 0u);

    EXPECT_EQ(lcache_find_entry_by_iod(iod(other)), nullptr);
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_frm_iod), 1u);
    EXPECT_EQ(lcache_if_create_entry_by_pi(pi(other)), nullptr);
    EXPECT_EQ(lcache_if_create_entry_by_lif(lif(other)), nullptr);
    EXPECT_EQ(calls(PeerFn::if_index_get_type), 0u);
    EXPECT_EQ(lcache.stats.if_allocs, 1u);
    lcache_restore_cache();
}

TEST_F(CreateTest, RejectedIfindexOrIodCreatesNothing) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    const sim::IfIndex unknown = sim::ethernet_ifindex(1, 9);
    init(kKeys);
    EXPECT_EQ(create(unknown), nullptr);
    EXPECT_EQ(errors(), Texts{text(" Invalid interface index 0x%x\n", unknown)});

    forget_reports();
    sim::inject_fault(PeerFn::netif_get_iod_frm_ifindex, {sim::FaultKind::status, 0x77, 1});
    EXPECT_EQ(create(eth), nullptr);
    EXPECT_EQ(
        errors(),
        Texts{text("netif_get_iod_frm_ifindex failed for if-index 0x%x, err: 0x%x\n", eth, 0x77)});

    EXPECT_EQ(lcache_if_create_entry_by_iod(iod(eth) + 100), nullptr); // no such iod
    EXPECT_EQ(lcache.stats.if_allocs, 0u);
}

TEST_F(CreateTest, AnIodStillHeldByAnotherEntryEvictsThatEntry) {
    const sim::IfIndex a = model.add_ethernet(1, 1);
    const sim::IfIndex b = model.add_ethernet(1, 2);
    init(kKeys);
    lcache_if_entry_t *ea = create(a);
    const uint32_t shared = iod(a), pi_a = pi(a), lif_a = lif(a);
    // The interface manager moved the iod without the cache hearing of it.
    model.set_iod(a, 500);
    model.set_iod(b, shared);
    forget_reports();

    lcache_if_entry_t *eb = create(b);
    ASSERT_NE(eb, nullptr);
    EXPECT_NE(eb, ea);
    EXPECT_EQ(errors(),
              Texts{text("If-create for if-index 0x%x, iod %d exists - deleting existing one "
                         "(0x%x), PI 0x%x/LIF 0x%x\n",
                         b, shared, a, pi_a, lif_a)});
    EXPECT_EQ(cached(a), nullptr);
    EXPECT_EQ(lcache.stats.if_destroys, 1u);
    EXPECT_EQ(eb->iod, shared);
    EXPECT_EQ(lcache_find_entry_by_iod(shared), eb);
    EXPECT_EQ(eb->ref_count, 4);
    EXPECT_EQ(live(), 1u);
}

// Answers the interface type as the model does, except on one call.
class TypeFailsOnCall : public sim::ModelBackend {
  public:
    TypeFailsOnCall(const sim::Switch &model, int failing)
        : ModelBackend(model), failing_(failing) {}
    sim::Reply<uint8_t> if_index_get_type(sim::IfIndex ifindex) override {
        if (++seen_ == failing_)
            return {sim::status::internal};
        return ModelBackend::if_index_get_type(ifindex);
    }

  private:
    int failing_;
    int seen_ = 0;
};

TEST_F(CreateTest, WithoutMemoryNothingIsTakenAndTheCallerHearsENOMEM) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    init(kKeys);
    errno = 0;
    mtrack_fail_next(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(create(eth), nullptr);
    fflush(stdout);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_THAT(out,
                testing::MatchesRegex("Warning! Malloc Failure in .*lcache_create\\.cc\\[[0-9]+\\] "
                                      "for size " +
                                      std::to_string(sizeof(lcache_if_entry_t)) + "\n"));
    EXPECT_THAT(traces(),
                testing::IsSupersetOf(
                    {std::string("lcache_if_create_entry_by_if: Malloc failure\n"),
                     text("If-create for if-index 0x%x, iod %d failed\n", eth, iod(eth))}));
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(lcache.stats.if_create_fails, 1u);
    EXPECT_EQ(lcache.stats.if_allocs + lcache.stats.if_frees, 0u);
}

TEST_F(CreateTest, ACreationFailingAfterTheAllocationReleasesTheEntry) {
    const sim::IfIndex eth = model.add_ethernet(1, 1);
    TypeFailsOnCall refresh_rejects(model, 2); // creation classifies first, the refresh second
    const struct {
        const char *name;
        void (*arm)();
        sim::PeerBackend *peers;
        Texts reports;
        uint64_t destroys;
    } cases[] = {
        {"if-table insert",
         [] { ht_fault_inject(HT_FAULT_INSERT, 1); },
         &backend,
         {text("Failed to add lcache entry for if-index 0x%x\n", eth),
          text("If-create for if-index 0x%x, iod %d failed\n", eth, iod(eth))},
         0},
        {"iod-table insert",
         [] { ht_fault_inject_after(HT_FAULT_INSERT, 1, 1); },
         &backend,
         {text("Failed to add iod entry for if 0x%x, iod %d\n", eth, iod(eth)),
          text("Iod-create for if-index 0x%x, iod %d failed\n", eth, iod(eth))},
         1},
        {"refresh", [] {}, &refresh_rejects, {text("Invalid interface index 0x%x\n", eth)}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        init(kKeys);
        forget_reports();
        sim::set_active_backend(c.peers);
        c.arm();
        EXPECT_EQ(create(eth), nullptr);
        sim::set_active_backend(&backend);
        EXPECT_EQ(errors(), c.reports);
        EXPECT_EQ(lcache.stats.if_allocs, 1u);
        EXPECT_EQ(lcache.stats.if_frees, 1u);
        EXPECT_EQ(lcache.stats.if_destroys, c.destroys);
        EXPECT_EQ(lcache.stats.if_create_fails, 0u);
        EXPECT_EQ(cached(eth), nullptr);
        EXPECT_EQ(held(lcache.iod_table, iod(eth)), nullptr);
        EXPECT_EQ(live(), 0u);
    }
}

TEST_F(CreateTest, InitAndCleanupCyclesReturnEveryEntry) {
    const sim::IfIndex ports[] = {model.add_ethernet(1, 1), model.add_ethernet(1, 2),
                                  model.add_port_channel(1)};
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        init(kKeys);
        for (sim::IfIndex p : ports)
            ASSERT_NE(create(p), nullptr);
        EXPECT_EQ(live(), 3u);
        EXPECT_EQ(lcache_cleanup(), 1u);
        EXPECT_EQ(live(), 0u);
    }
    // A second init without cleanup starts again from nothing.
    init(kKeys);
    ASSERT_NE(create(ports[0]), nullptr);
    ASSERT_NE(create(ports[1]), nullptr);
    init(LCACHE_ATTR_IOD);
    EXPECT_EQ(live(), 0u);
    EXPECT_EQ(cached(ports[0]), nullptr);
    ASSERT_NE(create(ports[0]), nullptr);
    EXPECT_EQ(live(), 1u);
}

} // namespace
