/* SPDX-License-Identifier: MIT */
/*
 * Intrusive chained hash table.
 *
 * An entry embeds one ht_link_t per table it can sit in; the table is told
 * the link's offset inside the entry, so one entry can be in several tables
 * at once and joining or leaving a table allocates nothing.  The link is the
 * hlist pair: `next` and `pprev` (the address of the pointer that points at
 * this link), so removal needs neither the bucket nor a walk; pprev == NULL
 * means "not in the table".
 *
 * A table object that was never created (all zero, num_buckets == 0) is
 * inert: ht_lookup finds nothing, ht_insert, ht_remove_entry,
 * ht_iterator_init and ht_get_stats fail (return 0), ht_cleanup does
 * nothing.  A table whose ht_init failed is left in that state.
 *
 * Not thread-safe: the caller serialises every call on one table.
 */
#ifndef HT_H
#define HT_H

#include <stddef.h>
#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

typedef struct ht_link {
    struct ht_link *next;
    struct ht_link **pprev;
} ht_link_t;

/* `key` points at the key inside an entry, or at a caller's key. */
typedef uint32_t (*ht_hash_fn)(const void *key, uint32_t num_buckets);
typedef void *(*ht_get_key_fn)(void *entry);
typedef uint32_t (*ht_keys_equal_fn)(const void *a, const void *b);

typedef struct ht_table {
    /* Read in place by the cache's diagnostics. */
    uint32_t num_buckets;
    uint32_t num_entries;

    uint32_t link_offset;
    ht_link_t **buckets;
    ht_hash_fn hash;
    ht_get_key_fn get_key;
    ht_keys_equal_fn keys_equal;

    /* Statistics, reported by ht_get_stats: the high-water mark of
     * num_entries and every lookup's chain length (entries compared, at
     * least 1).  A lookup that compares one entry or none, the common case,
     * only counts itself; longer ones also add their steps beyond the
     * first and may raise worst_lookup. */
    uint32_t size_hwm;
    uint32_t worst_lookup;
    uint64_t lookups;
    uint64_t extra_steps;
} ht_table_t;

typedef struct ht_iterator {
    ht_table_t *table;
    uint32_t num_buckets;
    uint32_t bucket;
    ht_link_t *next;
} ht_iterator_t;

typedef struct ht_stats {
    uint32_t size_hwm;
    uint32_t worst_lookup;
    double avg_lookup;
} ht_stats_t;

/* Creates `table` with `num_buckets` chains (at least 1) for entries whose
 * link lies at `link_offset`.  `flags` and `max_load` are accepted for the
 * platform's signature and must be 0.  The table never resizes.  Returns
 * nonzero on success; on failure the object is all zero. */
PLATFORM_API uint32_t ht_init(ht_table_t *table, uint32_t flags, size_t link_offset,
                              uint32_t num_buckets, double max_load, ht_hash_fn hash,
                              ht_get_key_fn get_key, ht_keys_equal_fn keys_equal);

/* Links `entry` at the head of its chain.  The caller guarantees the key is
 * not already present.  An entry whose link is in use (pprev != NULL) is
 * refused, so the link must start zeroed.  Nonzero when added.  `flags`
 * must be 0. */
PLATFORM_API uint32_t ht_insert(ht_table_t *table, void *entry, uint32_t flags);

/* The entry whose key equals *key (compared with keys_equal), or NULL. */
PLATFORM_API void *ht_lookup(ht_table_t *table, const void *key);

#ifdef __cplusplus
#define HT_PTR_CAST(type, ptr) reinterpret_cast<type>(ptr)
#else
#define HT_PTR_CAST(type, ptr) ((type)(ptr))
#endif

/* Records a lookup, already counted, that compared `compared` > 1 entries. */
static inline void ht_count_long_lookup(ht_table_t *table, uint32_t compared) {
    table->extra_steps += compared - 1;
    if (compared > table->worst_lookup)
        table->worst_lookup = compared;
}

/* Counts one lookup that compared `compared` entries (an empty chain
 * counts as 1) into the table's statistics. */
static inline void ht_count_lookup(ht_table_t *table, uint32_t compared) {
    ++table->lookups;
    if (compared > 1)
        ht_count_long_lookup(table, compared);
}

/* ht_lookup for a table whose key is an unsigned integer of `key_size`
 * bytes (2 or 4) at `key_offset` in every entry, and whose callbacks hash
 * it as key % num_buckets and compare it with ==: the same answer and the
 * same statistics, computed here instead of through three callbacks behind
 * a library call.  Hot read paths of such tables use the two wrappers
 * below; every other table keeps ht_lookup. */
static inline void *ht_lookup_uint__(ht_table_t *table, uint32_t key, size_t key_offset,
                                     size_t key_size) {
    if (!table || !table->buckets)
        return NULL;
    const uint32_t n = table->num_buckets;
    /* A power-of-two table, the usual size, needs no division. */
    uint32_t bucket = key & (n - 1);
    if (__builtin_expect((n & (n - 1)) != 0, 0))
        bucket = key % n;
    ++table->lookups;
    uint32_t compared = 0;
    for (ht_link_t *link = table->buckets[bucket]; link; link = link->next) {
        ++compared;
        char *entry = HT_PTR_CAST(char *, link) - table->link_offset;
        /* Every entry holds its key aligned for the key's type. */
        const void *key_at = entry + key_offset;
        const uint32_t held = key_size == 2 ? *HT_PTR_CAST(const uint16_t *, key_at)
                                            : *HT_PTR_CAST(const uint32_t *, key_at);
        if (held == key) {
            if (compared > 1)
                ht_count_long_lookup(table, compared);
            return entry;
        }
    }
    if (compared > 1)
        ht_count_long_lookup(table, compared);
    return NULL;
}

static inline void *ht_lookup_u32(ht_table_t *table, uint32_t key, size_t key_offset) {
    return ht_lookup_uint__(table, key, key_offset, sizeof(uint32_t));
}

static inline void *ht_lookup_u16(ht_table_t *table, uint16_t key, size_t key_offset) {
    return ht_lookup_uint__(table, key, key_offset, sizeof(uint16_t));
}

/* Unlinks that very entry and zeroes its link.  Nonzero when it was in
 * `table`; otherwise nothing changes. */
PLATFORM_API uint32_t ht_remove_entry(ht_table_t *table, void *entry);

/* Prepares `it` (caller storage) to yield every entry once.  `num_buckets`
 * must equal the table's; `flags` must be 0.  Nonzero when ready.  The
 * table must not change while the iterator is in use, with one exception:
 * ht_iterator_next reads ahead, so the memory of the entry it just returned
 * may be released when the table is then only iterated and cleaned up
 * (this is how an owner frees every entry before ht_cleanup). */
PLATFORM_API uint32_t ht_iterator_init(ht_iterator_t *it, ht_table_t *table, uint32_t flags,
                                       uint32_t num_buckets);
PLATFORM_API void *ht_iterator_next(ht_iterator_t *it, uint32_t flags);

/* Fills `stats`; nonzero on success, 0 for a table never created. */
PLATFORM_API uint32_t ht_get_stats(ht_table_t *table, ht_stats_t *stats);

/* Releases the bucket array and zeroes the object; the entries are the
 * caller's.  Safe on a table never created or already cleaned up. */
PLATFORM_API void ht_cleanup(ht_table_t *table);

/* Fault injection for tests: the next `count` calls of `op` fail as they
 * would for a table that cannot be created or is corrupt.  0 disarms. */
typedef enum ht_fault_op {
    HT_FAULT_INIT,
    HT_FAULT_INSERT,
    HT_FAULT_REMOVE,
    HT_FAULT_ITERATOR,
    HT_FAULT_STATS,
    HT_FAULT_OP_COUNT
} ht_fault_op_t;
PLATFORM_API void ht_fault_inject(ht_fault_op_t op, uint32_t count);
/* The same after `skip` more calls of `op` have succeeded. */
PLATFORM_API void ht_fault_inject_after(ht_fault_op_t op, uint32_t skip, uint32_t count);

PLATFORM_END_DECLS

#endif
