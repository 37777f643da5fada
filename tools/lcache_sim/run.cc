// The workload: queries skewed towards a hot set of interfaces, as real
// clients ask about the ports they forward on, each answer checked against
// the model.
#include "run.h"

#include <cstdarg>
#include <cstdio>
#include <random>
#include <vector>

#include "lcache.h"
#include "mtrack.h"
#include "sim/model_backend.h"
#include "sim/peer_calls.h"

namespace lcsim {

namespace {

// Every interface attribute and the VLAN cache.  Link and protocol state
// are critical, addressing medium, the rest low.
lcache_attr realistic_attributes() {
    lcache_attr a{};
    a.sync_mask = 0xFFFFFFFF & ~0x08000000u; // bit 27 carries nothing
    a.crit_mask = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
    a.med_mask = a.crit_mask | LCACHE_ATTR_MAC | LCACHE_ATTR_MTU | LCACHE_ATTR_VLAN;
    a.low_mask = a.med_mask | LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING | LCACHE_ATTR_ENCAP;
    return a;
}

int print_line(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vprintf(fmt, ap);
    va_end(ap);
    return n;
}

struct Counts {
    uint64_t queries = 0;
    uint64_t disagreements = 0;
};

// One query of a random family about `iface`, compared with the model.
void query(const sim::Interface &iface, unsigned family, Counts &counts) {
    bool agrees = true;
    switch (family) {
    case 0: agrees = lcache_netif_is_linkup(iface.iod) == iface.linkup; break;
    case 1: agrees = lcache_netif_is_protoup(iface.iod) == iface.protoup; break;
    case 2: agrees = lcache_netif_get_if_mtu(iface.iod) == iface.mtu; break;
    case 3: agrees = lcache_netif_is_switchport(iface.iod) == iface.switchport; break;
    default: {
        uint32_t ifindex = 0;
        agrees = lcache_netif_get_ifindex_frm_iod(iface.iod, &ifindex) == 0 &&
                 ifindex == iface.ifindex;
    }
    }
    ++counts.queries;
    counts.disagreements += !agrees;
}

} // namespace

int run(const RunOptions &options) {
    sim::default_switch() = sim::build_leaf_switch(options.leaf);
    const sim::Switch &model = sim::default_switch();
    std::vector<const sim::Interface *> interfaces;
    for (const auto &[ifindex, iface] : model.interfaces())
        interfaces.push_back(&iface);

    const lcache_attr attr = realistic_attributes();
    if (lcache_init(&attr) != 1) {
        fprintf(stderr, "lcache_init failed: %s", lcache_print_str);
        return 1;
    }
    sim::reset_call_counts();

    // A tenth of the interfaces get most of the questions.
    std::mt19937_64 rng(options.seed);
    const size_t hot = std::max<size_t>(1, interfaces.size() / 10);
    std::uniform_int_distribution<size_t> pick_hot(0, hot - 1), pick_any(0, interfaces.size() - 1);
    std::bernoulli_distribution is_hot(0.8);
    std::uniform_int_distribution<unsigned> pick_family(0, 4);
    Counts counts;
    for (uint64_t i = 0; i < options.queries; ++i) {
        const size_t index = is_hot(rng) ? pick_hot(rng) : pick_any(rng);
        query(*interfaces[index], pick_family(rng), counts);
    }

    lcache_set_print(nullptr, 0);
    lcache.attr.debug_printf = print_line;
    lcache_dump();
    lcache_vlan_dump();
    lcache.attr.debug_printf = nullptr;

    mtrack_usage_t entries;
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &entries);
    printf("\nSummary\n");
    printf("  interfaces in the model   %zu\n", interfaces.size());
    printf("  queries                   %llu\n", static_cast<unsigned long long>(counts.queries));
    printf("  peer calls with the cache %llu\n",
           static_cast<unsigned long long>(sim::total_calls()));
    printf("  interface entries held    %llu (%llu bytes)\n",
           static_cast<unsigned long long>(entries.live_blocks),
           static_cast<unsigned long long>(entries.live_bytes));
    printf("  answers disagreeing       %llu\n",
           static_cast<unsigned long long>(counts.disagreements));
    lcache_cleanup();
    return counts.disagreements == 0 ? 0 : 1;
}

} // namespace lcsim
