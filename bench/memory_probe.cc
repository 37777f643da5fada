// SPDX-License-Identifier: MIT
// Memory the cache holds per interface and per VLAN on the target it was
// built for, from a cache of 4 096 Ethernet ports and 4 094 VLANs: the
// memory tracker's count of entry bytes, and the heap the C library gets
// back when the entries are released (tracker header and allocator
// overhead included).
#include <malloc.h>

#include <cstdio>

#include "mtrack.h"
#include "world.h"

namespace {

constexpr uint32_t kPorts = 4096;

// Releases the entries of `type` with `release` and prints what one cost.
template <class Release>
void probe(const char *what, lcache_mem_type_t type, size_t record, Release release) {
    mtrack_usage_t held{}, left{};
    mtrack_get_usage(LCACHE_MTRACK_ID, type, &held);
    const size_t heap = mallinfo2().uordblks;
    release();
    const size_t freed = heap - mallinfo2().uordblks;
    mtrack_get_usage(LCACHE_MTRACK_ID, type, &left);
    const double entries = static_cast<double>(held.live_blocks - left.live_blocks);
    printf("%-16s sizeof %3zu B | tracker %5.1f B per entry | heap %5.1f B per entry | %.0f "
           "entries\n",
           what, record, static_cast<double>(held.live_bytes - left.live_bytes) / entries,
           static_cast<double>(freed) / entries, entries);
}

} // namespace

int main() {
    const bench::World &w = bench::World::get(bench::Shape{kPorts});
    printf("%zu-bit target: 5 index tables x %u buckets x %zu B = %zu KiB, allocated by "
           "lcache_init\n",
           sizeof(void *) * 8, lcache.if_table.num_buckets, sizeof(ht_link_t *),
           5 * lcache.if_table.num_buckets * sizeof(ht_link_t *) / 1024);
    probe("interface entry", LCACHE_MEM_lcache_if_entry_t, sizeof(lcache_if_entry_t), [&w] {
        for (uint32_t iod : w.all_iods())
            lcache_if_remove_entry_by_iod(iod);
    });
    probe("VLAN entry", LCACHE_MEM_lcache_vlan_entry_t, sizeof(lcache_vlan_entry_t), [] {
        for (uint32_t v = 1; v <= bench::kMaxVlans; ++v)
            lcache_vlan_remove_entry_by_vlan(static_cast<uint16_t>(v));
    });
    return 0;
}
