// The entry type and key callbacks the hash-table tests share.
#pragma once

#include <cstdint>

#include "ht.h"

// Sits in one table by `key` through `by_key` and in another by `alt`
// through `by_alt`.
struct Item {
    Item(uint32_t k = 0, uint32_t a = 0) : key(k), alt(a), by_key{}, by_alt{} {}

    uint32_t key;
    uint32_t alt;
    ht_link_t by_key;
    ht_link_t by_alt;
};

inline void *key_of(void *entry) { return &static_cast<Item *>(entry)->key; }
inline void *alt_of(void *entry) { return &static_cast<Item *>(entry)->alt; }

inline uint32_t u32_equal(const void *a, const void *b) {
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}

inline uint32_t identity_hash(const void *key, uint32_t num_buckets) {
    return *static_cast<const uint32_t *>(key) % num_buckets;
}
