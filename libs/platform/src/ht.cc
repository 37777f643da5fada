// SPDX-License-Identifier: MIT
// Intrusive chained hash table with hlist links.  Entries carry their own
// links, so the table allocates only its bucket array, once, at ht_init.
#include "ht.h"

#include <cstdlib>
#include <cstring>

namespace {

// Armed by ht_fault_inject_after: how many calls of each operation still
// succeed, then how many fail.
uint32_t faults_skipped[HT_FAULT_OP_COUNT];
uint32_t pending_faults[HT_FAULT_OP_COUNT];

bool take_fault(ht_fault_op_t op) {
    if (pending_faults[op] == 0)
        return false;
    if (faults_skipped[op] != 0) {
        --faults_skipped[op];
        return false;
    }
    --pending_faults[op];
    return true;
}

bool table_exists(const ht_table_t *table) { return table && table->buckets; }

ht_link_t *link_of(const ht_table_t *table, void *entry) {
    return reinterpret_cast<ht_link_t *>(static_cast<char *>(entry) + table->link_offset);
}

void *entry_of(const ht_table_t *table, ht_link_t *link) {
    return reinterpret_cast<char *>(link) - table->link_offset;
}

// A hash that ignores num_buckets must cost a division, not a wild index.
ht_link_t **chain_of(const ht_table_t *table, const void *key) {
    uint32_t bucket = table->hash(key, table->num_buckets);
    if (bucket >= table->num_buckets)
        bucket %= table->num_buckets;
    return &table->buckets[bucket];
}

// Membership is proven by finding the link in the chain its key selects:
// a stale or foreign pprev is never dereferenced, and an entry of another
// table sharing the link offset is told apart.
bool chain_holds(const ht_table_t *table, void *entry, const ht_link_t *link) {
    for (const ht_link_t *walk = *chain_of(table, table->get_key(entry)); walk; walk = walk->next)
        if (walk == link)
            return true;
    return false;
}

// Moves the iterator to the next non-empty chain when its current one ran out.
void skip_empty_chains(ht_iterator_t *it) {
    ht_link_t *const *buckets = it->table->buckets;
    while (!it->next && buckets && it->bucket < it->num_buckets)
        it->next = buckets[it->bucket++];
}

} // namespace

extern "C" {

uint32_t ht_init(ht_table_t *table, uint32_t flags, size_t link_offset, uint32_t num_buckets,
                 double max_load, ht_hash_fn hash, ht_get_key_fn get_key,
                 ht_keys_equal_fn keys_equal) {
    if (!table)
        return 0;
    memset(table, 0, sizeof *table);
    if (take_fault(HT_FAULT_INIT) || flags || max_load != 0.0 || num_buckets == 0 ||
        link_offset > UINT32_MAX || !hash || !get_key || !keys_equal)
        return 0;
    auto **buckets = static_cast<ht_link_t **>(calloc(num_buckets, sizeof(ht_link_t *)));
    if (!buckets)
        return 0;
    table->num_buckets = num_buckets;
    table->link_offset = static_cast<uint32_t>(link_offset);
    table->buckets = buckets;
    table->hash = hash;
    table->get_key = get_key;
    table->keys_equal = keys_equal;
    return 1;
}

uint32_t ht_insert(ht_table_t *table, void *entry, uint32_t flags) {
    if (take_fault(HT_FAULT_INSERT) || !table_exists(table) || !entry || flags)
        return 0;
    ht_link_t *link = link_of(table, entry);
    // Linking an entry twice would turn its chain into a loop.
    if (link->pprev)
        return 0;
    ht_link_t **head = chain_of(table, table->get_key(entry));
    link->next = *head;
    if (*head)
        (*head)->pprev = &link->next;
    *head = link;
    link->pprev = head;
    if (++table->num_entries > table->size_hwm)
        table->size_hwm = table->num_entries;
    return 1;
}

void *ht_lookup(ht_table_t *table, const void *key) {
    if (!table_exists(table))
        return nullptr;
    uint32_t compared = 0;
    for (ht_link_t *link = *chain_of(table, key); link; link = link->next) {
        ++compared;
        void *entry = entry_of(table, link);
        if (table->keys_equal(key, table->get_key(entry))) {
            ht_count_lookup(table, compared);
            return entry;
        }
    }
    ht_count_lookup(table, compared);
    return nullptr;
}

uint32_t ht_remove_entry(ht_table_t *table, void *entry) {
    if (take_fault(HT_FAULT_REMOVE) || !table_exists(table) || !entry)
        return 0;
    ht_link_t *link = link_of(table, entry);
    if (!link->pprev || !chain_holds(table, entry, link))
        return 0;
    *link->pprev = link->next;
    if (link->next)
        link->next->pprev = link->pprev;
    link->next = nullptr;
    link->pprev = nullptr;
    --table->num_entries;
    return 1;
}

uint32_t ht_iterator_init(ht_iterator_t *it, ht_table_t *table, uint32_t flags,
                          uint32_t num_buckets) {
    if (!it)
        return 0;
    memset(it, 0, sizeof *it);
    if (take_fault(HT_FAULT_ITERATOR) || !table_exists(table) || flags ||
        num_buckets != table->num_buckets)
        return 0;
    it->table = table;
    it->num_buckets = num_buckets;
    skip_empty_chains(it);
    return 1;
}

void *ht_iterator_next(ht_iterator_t *it, uint32_t flags) {
    if (!it || flags || !it->next)
        return nullptr;
    ht_link_t *link = it->next;
    // Step past the entry before handing it out: the caller may free it.
    it->next = link->next;
    skip_empty_chains(it);
    return entry_of(it->table, link);
}

uint32_t ht_get_stats(ht_table_t *table, ht_stats_t *stats) {
    if (take_fault(HT_FAULT_STATS) || !table_exists(table) || !stats)
        return 0;
    const uint64_t lookups = table->lookups;
    stats->size_hwm = table->size_hwm;
    // Every lookup took at least one step; only longer ones were recorded.
    stats->worst_lookup = lookups && table->worst_lookup == 0 ? 1 : table->worst_lookup;
    stats->avg_lookup =
        lookups ? static_cast<double>(lookups + table->extra_steps) / static_cast<double>(lookups)
                : 0.0;
    return 1;
}

void ht_cleanup(ht_table_t *table) {
    if (!table)
        return;
    free(table->buckets);
    memset(table, 0, sizeof *table);
}

void ht_fault_inject(ht_fault_op_t op, uint32_t count) { ht_fault_inject_after(op, 0, count); }

void ht_fault_inject_after(ht_fault_op_t op, uint32_t skip, uint32_t count) {
    if (static_cast<uint32_t>(op) >= HT_FAULT_OP_COUNT)
        return;
    faults_skipped[op] = skip;
    pending_faults[op] = count;
}

} // extern "C"
