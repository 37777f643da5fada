// The interface-name query and its ring of ten static buffers.  A program
// of its own: the ring lives as long as the process, and the first test
// needs it untouched.
#include <string>

#include "query_fixture.h"

namespace {

using lctest::StatsDelta;
using lctest::sync_without;
using sim::PeerFn;

class NameQueryTest : public lctest::QueryTest {};

// With the name service failing, each buffer shows what it started with:
// the digit of its own position.  The ring index starts at 0 and is
// advanced before use.
TEST_F(NameQueryTest, RingStartsAsTheTenDigitsAndWrapsAfterTen) {
    init();
    cache(port);
    sim::inject_fault(PeerFn::netif_get_ifindex_name, sim::Fault{sim::FaultKind::status, 3, {}});
    std::string seen;
    const char *first = lcache_netif_get_if_name(iod(port));
    seen += first;
    for (int i = 1; i < 10; ++i)
        seen += lcache_netif_get_if_name(iod(port));
    EXPECT_EQ(seen, "1234567890");
    EXPECT_EQ(lcache_netif_get_if_name(iod(port)), first) << "the eleventh reuses the first";
}

// No dirty bit: every cached query asks for the name by ifindex.
TEST_F(NameQueryTest, CachedNameIsAskedByIfindexEveryTime) {
    init();
    cache(port);
    sim::reset_call_counts();
    const StatsDelta d;
    EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
    EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
    EXPECT_EQ(d.hit(LCACHE_STAT_NAME), 2u);
    EXPECT_EQ(calls(PeerFn::netif_get_ifindex_name), 2u);
    EXPECT_EQ(calls(PeerFn::netif_get_if_name), 0u);

    for (uint32_t closed : {uint32_t{LCACHE_ATTR_NAME}, 0u}) {
        init(sync_without(closed));
        lcache.attr.create_on_miss = 0;
        EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
        EXPECT_EQ(lcache.stats.misses[LCACHE_STAT_NAME], 1u);
        EXPECT_EQ(calls(PeerFn::netif_get_if_name), 1u);
    }
}

} // namespace
