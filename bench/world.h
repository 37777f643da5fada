// SPDX-License-Identifier: MIT
// The cache under measurement: a simulated switch of N Ethernet ports (and,
// for the bundle notifications, a few port-channels), the cache initialised
// over it keeping every attribute, and every interface's entry created and
// filled.  The cache is one object per process, so one world lives at a
// time: asking for another shape tears the current one down.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "lcache.h"
#include "sim/model_backend.h"
#include "sim/switch.h"

namespace bench {

// ext_key[0]: the extension slot the refresh fills, and the event history.
constexpr uint32_t kExtKey = 0x62;
// Draws per key array: a power of two, so the index wraps with a mask.
constexpr uint32_t kDraws = 1u << 16;
constexpr uint32_t kMaxVlans = 4094;

struct Shape {
    uint32_t ports = 0;
    uint32_t channels = 0;   // port-channels, each over one port of its own
    uint32_t table_size = 0; // 0: the cache's default
    bool operator==(const Shape &) const = default;
};

class World {
  public:
    // The world of `shape`, built on first use.
    static World &get(const Shape &shape);
    ~World();
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    const Shape &shape() const { return shape_; }
    // Changes whenever entries may have been created anew, so whatever
    // points at entries knows to rebuild.
    uint64_t generation() const { return generation_; }
    const sim::Switch &model() const { return model_; }

    // Random draws over the interfaces: index i names the same interface
    // in each array.
    std::span<const uint32_t> iods() const { return iods_; }
    std::span<const uint32_t> ifindexes() const { return ifindexes_; }
    // Random draws over min(ports, 4094) VLANs.
    std::span<const uint32_t> vlans() const { return vlans_; }

    // Every interface, in creation order (iod order).
    const std::vector<uint32_t> &all_iods() const { return all_iods_; }
    const std::vector<uint32_t> &channel_ifindexes() const { return channels_; }

    // The cached entry of every interface, in iod order.
    std::vector<lcache_if_entry_t *> entries() const;
    // Creates the entry of every interface and refetches every dirty
    // attribute, so every query is a hit again.
    void fill();

  private:
    explicit World(const Shape &shape);
    void build_model();
    void draw_keys();

    Shape shape_;
    uint64_t generation_ = 0;
    sim::Switch model_;
    std::unique_ptr<sim::ModelBackend> backend_;
    std::vector<uint32_t> all_iods_;
    std::vector<uint32_t> channels_;
    std::vector<uint32_t> iods_;
    std::vector<uint32_t> ifindexes_;
    std::vector<uint32_t> vlans_;
};

// Misses of every interface and VLAN statistics row, summed.
uint64_t total_misses();

} // namespace bench
