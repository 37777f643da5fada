// The change-notification tests: a cache over a small switch with one
// interface of each type the notifications treat apart, record builders
// and a check that the four index tables agree with each other.
#pragma once

#include <cstdio>
#include <string>

#include "lcache_fixture.h"
#include "sim/lcache_delivery.h"
#include "sim/notifier.h"

namespace lctest {

constexpr uint32_t kUnknownIod = 9999;
constexpr uint32_t kUnknownIfindex = 0x7F000001;

// The text a "%x" conversion prints.
inline std::string hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%x", value);
    return text;
}

class NotifyTest : public LcacheSimTest {
  protected:
    NotifyTest() {
        mgmt = model.add_mgmt();                            // type 5
        eth1 = model.add_ethernet(1, 1);                    // type 26, routed
        eth2 = model.add_ethernet(1, 2);                    // access switchport
        eth3 = model.add_ethernet(1, 3);                    // member of po1
        eth4 = model.add_ethernet(1, 4);                    // member of po1
        po1 = model.add_port_channel(1);                    // type 22
        subif = model.add_subinterface(eth1, 100, 200);     // type 9
        gre = model.add_tunnel(sim::IfType::gre_tunnel, 1); // type 24
        svi = model.add_vlan_interface(10);                 // none of the above
        model.add_vlan(10);
        model.set_switchport_mode(eth2, sim::SwitchportMode::access);
        model.set_vlan(eth2, 10);
        model.add_member(po1, eth3);
        model.add_member(po1, eth4);
        model.set_switchport_mode(po1, sim::SwitchportMode::trunk);
    }

    ~NotifyTest() override { expect_tables_consistent(); }

    void init_tracking(uint32_t l3_track) {
        lcache_attr a = attr_with(kSyncAll);
        a.l3_track = l3_track;
        init(a);
    }

    // The cached entry of the interface, or NULL; looks, creates nothing.
    static lcache_if_entry_t *cached(sim::IfIndex ifindex) {
        uint32_t key = ifindex;
        return static_cast<lcache_if_entry_t *>(ht_lookup(&lcache.if_table, &key));
    }

    // Creates the entry; the call counters start from 0 afterwards.
    lcache_if_entry_t *warm(sim::IfIndex ifindex) {
        lcache_if_entry_t *entry = lcache_if_create_entry_by_iod(iod(ifindex));
        sim::reset_call_counts();
        return entry;
    }

    lcache_state_msg_t state_record(sim::IfIndex ifindex, uint8_t state) const {
        return sim::to_record(sim::PhyState{ifindex, iod(ifindex), state});
    }
    lcache_l2_msg_t l2_record(sim::IfIndex ifindex) const {
        return sim::to_record(sim::l2_state(model.at(ifindex)));
    }
    lcache_l3_msg_t l3_record(sim::IfIndex ifindex, uint8_t state) const {
        sim::L3State n = sim::l3_state(model.at(ifindex));
        n.state = state;
        return sim::to_record(n);
    }
    static lcache_agg_fop_msg_t fop_record(sim::IfIndex channel, sim::IfIndex from,
                                           sim::IfIndex to) {
        return sim::to_record(sim::FirstOperationalMember{channel, from, to});
    }

    // Every entry of the if table is held by each other table exactly under
    // the key it carries (and carries "none" for a table that lacks it),
    // those tables hold nothing else, the reference count is the number of
    // tables holding the entry, and the memory tracker has no other entry.
    static void expect_tables_consistent() {
        struct Keyed {
            ht_table_t &table;
            uint32_t lcache_if_entry_t::*key;
            uint32_t none;
            uint32_t held = 0;
        };
        Keyed keyed[] = {{lcache.iod_table, &lcache_if_entry_t::iod, LCACHE_NO_IOD},
                         {lcache.pi_table, &lcache_if_entry_t::pi, LCACHE_NO_PI},
                         {lcache.lif_table, &lcache_if_entry_t::lif, LCACHE_NO_LIF}};
        ht_iterator_t it;
        if (!ht_iterator_init(&it, &lcache.if_table, 0, lcache.if_table.num_buckets))
            return; // no cache
        while (void *found = ht_iterator_next(&it, 0)) {
            auto *entry = static_cast<lcache_if_entry_t *>(found);
            uint32_t refs = 1;
            for (Keyed &k : keyed) {
                uint32_t key = entry->*k.key;
                if (key == k.none)
                    continue;
                EXPECT_EQ(ht_lookup(&k.table, &key), entry)
                    << "if-index 0x" << hex(entry->if_index) << " key 0x" << hex(key);
                ++refs;
                ++k.held;
            }
            EXPECT_EQ(entry->ref_count, refs) << "if-index 0x" << hex(entry->if_index);
        }
        for (const Keyed &k : keyed)
            EXPECT_EQ(k.table.num_entries, k.held);
        EXPECT_EQ(live_blocks(LCACHE_MEM_lcache_if_entry_t), lcache.if_table.num_entries);
    }

    sim::IfIndex mgmt, eth1, eth2, eth3, eth4, po1, subif, gre, svi;
};

} // namespace lctest
