// SPDX-License-Identifier: MIT
// The hash table alone: 16 384 buckets (the cache's default) holding a
// quarter, one and four entries per bucket, looked up by present keys drawn
// at random, through the callbacks (ht_lookup) and through the inline u32
// path (ht_lookup_u32).  Keys are either consecutive, as iods are handed
// out, or random 32-bit values; the chain lengths the table itself counted
// are reported with each row.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "ht.h"
#include "suites.h"
#include "world.h"

namespace bench {

namespace {

constexpr uint32_t kBuckets = LCACHE_DEFAULT_TABLE_SIZE;

struct Node {
    uint32_t key = 0;
    ht_link_t link{};
};

uint32_t node_hash(const void *key, uint32_t num_buckets) {
    return *static_cast<const uint32_t *>(key) % num_buckets;
}
void *node_key(void *entry) { return &static_cast<Node *>(entry)->key; }
uint32_t node_keys_equal(const void *a, const void *b) {
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}

enum class Keys { consecutive, random };
enum class Lookup { callbacks, inline_u32 };

std::vector<uint32_t> make_keys(Keys kind, uint32_t count) {
    std::vector<uint32_t> keys;
    if (kind == Keys::consecutive) {
        for (uint32_t k = 1; k <= count; ++k)
            keys.push_back(k);
        return keys;
    }
    std::mt19937 rng(count);
    std::unordered_set<uint32_t> seen;
    while (keys.size() < count)
        if (uint32_t k = rng(); seen.insert(k).second)
            keys.push_back(k);
    return keys;
}

// A table of `count` nodes, built afresh for each run so its statistics
// cover that run's lookups only.
class Table {
  public:
    Table(Keys kind, uint32_t count) : nodes_(count) {
        if (!ht_init(&table_, 0, offsetof(Node, link), kBuckets, 0.0, node_hash, node_key,
                     node_keys_equal))
            abort();
        const std::vector<uint32_t> keys = make_keys(kind, count);
        for (uint32_t i = 0; i < count; ++i) {
            nodes_[i].key = keys[i];
            ht_insert(&table_, &nodes_[i], 0);
        }
        std::mt19937 rng(count + 1);
        std::uniform_int_distribution<uint32_t> pick(0, count - 1);
        for (uint32_t i = 0; i < kDraws; ++i)
            draws_.push_back(keys[pick(rng)]);
    }
    ~Table() { ht_cleanup(&table_); }
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    ht_table_t *table() { return &table_; }
    uint32_t draw(uint32_t i) const { return draws_[i]; }

  private:
    ht_table_t table_{};
    std::vector<Node> nodes_;
    std::vector<uint32_t> draws_;
};

void *find(ht_table_t *table, uint32_t key, Lookup how) {
    if (how == Lookup::inline_u32)
        return ht_lookup_u32(table, key, offsetof(Node, key));
    return ht_lookup(table, &key);
}

template <Lookup How> void lookups(benchmark::State &state, Keys kind, uint32_t count) {
    Table t(kind, count);
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(find(t.table(), t.draw(i), How));
        i = (i + 1) & (kDraws - 1);
    }
    ht_stats_t stats{};
    ht_get_stats(t.table(), &stats);
    state.counters["load"] = static_cast<double>(count) / kBuckets;
    state.counters["avg_lookup"] = stats.avg_lookup;
    state.counters["worst_lookup"] = stats.worst_lookup;
}

template <Lookup How> void add(const char *lookup, const char *keys, Keys kind) {
    static constexpr struct {
        const char *load;
        uint32_t count;
    } kLoads[] = {{"0.25", kBuckets / 4}, {"1", kBuckets}, {"4", kBuckets * 4}};
    for (const auto &load : kLoads) {
        const std::string name = std::string("ht/") + lookup + "/" + keys + "/load:" + load.load;
        benchmark::RegisterBenchmark(name.c_str(), lookups<How>, kind, load.count);
    }
}

} // namespace

void register_table_benchmarks() {
    add<Lookup::callbacks>("callbacks", "consecutive", Keys::consecutive);
    add<Lookup::inline_u32>("inline_u32", "consecutive", Keys::consecutive);
    add<Lookup::callbacks>("callbacks", "random", Keys::random);
    add<Lookup::inline_u32>("inline_u32", "random", Keys::random);
}

} // namespace bench
