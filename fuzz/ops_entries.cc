// SPDX-License-Identifier: MIT
// Entry lifecycle, refresh, flushes and the index-table operations.
#include "fuzz_state.h"

namespace lcfuzz {

namespace {

uint32_t option(State &s) { return s.in.flag() ? s.in.below(5) : s.in.u32(); }

void create_by_if(State &s) {
    const uint32_t if_index = s.ifindex();
    const uint32_t iod = s.in.flag() ? LCACHE_NO_IOD : s.iod();
    lcache_if_create_entry_by_if(if_index, iod, s.pi(), s.lif());
}
void create_by_iod(State &s) { lcache_if_create_entry_by_iod(s.iod()); }
void create_by_pi(State &s) { lcache_if_create_entry_by_pi(s.pi()); }
void create_by_lif(State &s) { lcache_if_create_entry_by_lif(s.lif()); }
void find_by_iod(State &s) { lcache_find_entry_by_iod(s.iod()); }

void remove_by_if(State &s) { lcache_if_remove_entry_by_if(s.ifindex()); }
void remove_by_iod(State &s) { lcache_if_remove_entry_by_iod(s.iod()); }
void remove_by_pi(State &s) { lcache_if_remove_entry_by_pi(s.pi()); }
void remove_by_lif(State &s) { lcache_if_remove_entry_by_lif(s.lif()); }

void destroy(State &s) {
    if (lcache_if_entry_t *e = s.entry())
        lcache_if_destroy_entry(e);
}

void update_entry(State &s) {
    lcache_if_entry_t *e = s.in.below(8) ? s.entry() : nullptr;
    lcache_if_update_entry(e, s.in.flag() ? s.in.below(2) : s.in.u32());
}

void src_mac(State &s) { lcache_get_if_src_mac_addr(s.iod()); }

void flush_entry(State &s) {
    lcache_if_entry_t *e = s.in.below(8) ? s.entry() : nullptr;
    lcache_flush_if_entry(e, option(s));
}

void flush_by_key(State &s) {
    switch (s.in.below(4)) {
    case 0: lcache_if_flush_if(s.ifindex(), option(s)); break;
    case 1: lcache_if_flush_iod(s.iod(), option(s)); break;
    case 2: lcache_if_flush_pi(s.pi(), option(s)); break;
    default: lcache_if_flush_lif(s.lif(), option(s)); break;
    }
}

void flush_all(State &s) { lcache_if_flush_all(option(s)); }
void update_if(State &s) { lcache_if_update_if(s.ifindex()); }

// The table operations as a client may use them: NULL, a delete from a
// keyed table (which only resets the key), a second insert of an entry the
// table already holds (refused), and the if-table delete of an entry no
// other table holds (which releases it).
void membership(State &s) {
    using Insert = uint32_t (*)(lcache_if_entry_t *);
    static constexpr Insert kInserts[] = {lcache_if_insert_entry, lcache_iod_insert_entry,
                                          lcache_pi_insert_entry, lcache_lif_insert_entry};
    static constexpr Insert kKeyedDeletes[] = {lcache_iod_delete_entry, lcache_pi_delete_entry,
                                               lcache_lif_delete_entry};
    lcache_if_entry_t *e = s.in.below(8) ? s.entry() : nullptr;
    switch (s.in.below(3)) {
    case 0: kKeyedDeletes[s.in.below(3)](e); break;
    case 1: {
        const uint32_t table = s.in.below(4);
        if (!e) {
            kInserts[table](nullptr);
            break;
        }
        const ht_link_t *links[] = {&e->if_link, &e->iod_link, &e->pi_link, &e->lif_link};
        if (links[table]->pprev)
            kInserts[table](e);
        break;
    }
    default:
        if (!e || e->ref_count == 1)
            lcache_if_delete_entry(e);
        break;
    }
}

// The key callbacks, as the hash-table service calls them.
void key_callbacks(State &s) {
    const uint32_t a = s.in.u32();
    const uint32_t b = s.in.flag() ? a : s.in.u32();
    const uint32_t buckets = s.in.u32() | 1;
    lcache_if_hash(&a, buckets);
    lcache_iod_hash(&a, buckets);
    lcache_pi_hash(&a, buckets);
    lcache_lif_hash(&a, buckets);
    lcache_if_keys_equal(&a, &b);
    lcache_iod_keys_equal(&a, &b);
    lcache_pi_keys_equal(&a, &b);
    lcache_lif_keys_equal(&a, &b);
    const uint16_t v = static_cast<uint16_t>(a), w = static_cast<uint16_t>(b);
    lcache_vlan_hash(&v, buckets);
    lcache_vlan_keys_equal(&v, &w);
    if (lcache_if_entry_t *e = s.entry()) {
        lcache_if_get_key(e);
        lcache_iod_get_key(e);
        lcache_pi_get_key(e);
        lcache_lif_get_key(e);
    }
    if (lcache_vlan_entry_t *v_entry = s.vlan_entry())
        lcache_vlan_get_key(v_entry);
}

constexpr OpDesc kOps[] = {
    {"create_by_if", create_by_if},   {"create_by_iod", create_by_iod},
    {"create_by_pi", create_by_pi},   {"create_by_lif", create_by_lif},
    {"find_by_iod", find_by_iod},     {"remove_by_if", remove_by_if},
    {"remove_by_iod", remove_by_iod}, {"remove_by_pi", remove_by_pi},
    {"remove_by_lif", remove_by_lif}, {"destroy", destroy},
    {"update_entry", update_entry},   {"src_mac", src_mac},
    {"flush_entry", flush_entry},     {"flush_by_key", flush_by_key},
    {"flush_all", flush_all},         {"update_if", update_if},
    {"membership", membership},       {"key_callbacks", key_callbacks},
};

} // namespace

std::span<const OpDesc> entry_ops() { return kOps; }

} // namespace lcfuzz
