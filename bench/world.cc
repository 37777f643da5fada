// SPDX-License-Identifier: MIT
#include "world.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "sim/peer_backend.h"

namespace bench {

namespace {

constexpr uint32_t kPortsPerModule = 4095;
// Members of the port-channels sit on a module of their own.
constexpr uint32_t kMemberModule = 255;
// Attributes the hit benchmarks read; fill() refetches them when dirty.
constexpr uint32_t kQueried =
    LCACHE_ATTR_LINKUP | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC | LCACHE_ATTR_EXT;

std::unique_ptr<World> current;
uint64_t fills;

[[noreturn]] void die(const char *what, uint32_t key) {
    fprintf(stderr, "bench world: %s (0x%x)\n", what, key);
    abort();
}

} // namespace

World &World::get(const Shape &shape) {
    if (!current || current->shape() != shape) {
        current.reset();
        current.reset(new World(shape));
    }
    return *current;
}

World::World(const Shape &shape) : shape_(shape) {
    build_model();
    backend_ = std::make_unique<sim::ModelBackend>(model_);
    sim::set_active_backend(backend_.get());

    lcache_attr attr{};
    attr.table_size = shape.table_size;
    attr.sync_mask = 0xFFFFFFFF;
    attr.low_mask = LCACHE_ATTR_LINKUP;
    attr.ext_key[0] = kExtKey;
    if (!lcache_init(&attr))
        die("lcache_init failed", shape.ports);
    fill();
    draw_keys();
}

World::~World() {
    lcache_cleanup();
    sim::set_active_backend(nullptr);
}

void World::build_model() {
    for (uint32_t i = 0; i < shape_.ports; ++i) {
        const sim::IfIndex port =
            model_.add_ethernet(1 + i / kPortsPerModule, 1 + i % kPortsPerModule);
        // A nonzero value, so the extension slot settles.
        model_.set_extension(port, kExtKey, i + 1);
        all_iods_.push_back(model_.at(port).iod);
    }
    for (uint32_t c = 1; c <= shape_.channels; ++c) {
        const sim::IfIndex channel = model_.add_port_channel(c);
        model_.add_member(channel, model_.add_ethernet(kMemberModule, c));
        channels_.push_back(channel);
    }
    const uint32_t vlans = std::min(shape_.ports, kMaxVlans);
    for (uint32_t v = 1; v <= vlans; ++v)
        model_.add_vlan(static_cast<uint16_t>(v));
}

void World::draw_keys() {
    std::mt19937 rng(shape_.ports);
    std::uniform_int_distribution<size_t> port(0, all_iods_.size() - 1);
    std::uniform_int_distribution<uint32_t> vlan(1, std::min(shape_.ports, kMaxVlans));
    for (uint32_t i = 0; i < kDraws; ++i) {
        const uint32_t iod = all_iods_[port(rng)];
        iods_.push_back(iod);
        ifindexes_.push_back(model_.find_by_iod(iod)->ifindex);
        vlans_.push_back(vlan(rng));
    }
}

void World::fill() {
    generation_ = ++fills;
    std::vector<uint32_t> cached = all_iods_;
    for (sim::IfIndex channel : channels_)
        cached.push_back(model_.at(channel).iod);
    for (uint32_t iod : cached) {
        lcache_if_entry_t *entry = lcache_if_create_entry_by_iod(iod);
        if (!entry)
            die("no entry for iod", iod);
        if ((entry->dirty & kQueried) && !lcache_if_update_entry(entry, 0))
            die("refresh failed for iod", iod);
    }
    const uint16_t slice = model_.slice();
    const uint32_t vlans = std::min(shape_.ports, kMaxVlans);
    for (uint32_t v = 1; v <= vlans; ++v) {
        uint16_t bd = 0;
        lcache_vlan_get_bd(vlan_key_t{slice, v}, &bd);
    }
}

std::vector<lcache_if_entry_t *> World::entries() const {
    std::vector<lcache_if_entry_t *> out;
    for (uint32_t iod : all_iods_)
        out.push_back(lcache_find_entry_by_iod(iod));
    return out;
}

uint64_t total_misses() {
    uint64_t sum = 0;
    for (uint64_t m : lcache.stats.misses)
        sum += m;
    for (uint64_t m : lcache.stats.vlan_misses)
        sum += m;
    return sum;
}

} // namespace bench
