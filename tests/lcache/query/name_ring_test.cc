// The interface-name query and its ring of ten static buffers.  A program
// of its own: the ring lives as long as the process, and the test needs it
// untouched.
#include <string>

#include "query_fixture.h"

namespace lctest {

// With the name service failing, each buffer shows what it started with:
// the digit of its own position; the ring index starts at 0 and is
// advanced before use.  No dirty bit: every cached query asks for the name
// by ifindex.
TEST_F(QueryTest, TheNameRing) {
    init();
    cache(port);
    sim::inject_fault(PeerFn::netif_get_ifindex_name, Fault{FaultKind::status, 3, {}});
    const char *first = lcache_netif_get_if_name(iod(port));
    std::string seen = first;
    for (int i = 1; i < 10; ++i)
        seen += lcache_netif_get_if_name(iod(port));
    EXPECT_EQ(seen, "1234567890");
    EXPECT_EQ(lcache_netif_get_if_name(iod(port)), first) << "the eleventh reuses the first";

    sim::clear_faults();
    sim::reset_call_counts();
    EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
    EXPECT_EQ(std::tuple(lcache.stats.hits[LCACHE_STAT_NAME], calls(PeerFn::netif_get_ifindex_name),
                         calls(PeerFn::netif_get_if_name)),
              std::tuple(12u, 1u, 0u));
    for (uint32_t closed : {uint32_t{LCACHE_ATTR_NAME}, 0u}) {
        init_passing(closed);
        EXPECT_STREQ(lcache_netif_get_if_name(iod(port)), "Ethernet1/1");
        EXPECT_EQ(
            std::tuple(lcache.stats.misses[LCACHE_STAT_NAME], calls(PeerFn::netif_get_if_name)),
            std::tuple(1u, 1u));
    }
}

} // namespace lctest
