// SPDX-License-Identifier: MIT
// The seeded workload: queries skewed towards a hot set of interfaces, as
// real clients ask about the ports they forward on, with model changes and
// flushes at fixed intervals.  The same seed and switch give the same
// stream, whichever way the peers are reached.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "queries.h"
#include "sim/change.h"

namespace lcsim {

struct WorkloadOptions {
    uint64_t queries = 200000;
    uint64_t seed = 1;
    uint32_t change_every = 1000; // queries between two model changes; 0: none
    uint32_t flush_every = 25000; // queries between two flushes; 0: none
    double hot_fraction = 0.1;    // share of the interfaces that are hot
    double hot_share = 0.8;       // share of the queries asked about them
};

struct Query {
    const QueryKind *kind = nullptr;
    Target target;
};

// One model change: the changes a real event makes together (a member's
// link and its place in the bundle, a new switchport and its VLAN).
struct ModelChange {
    std::vector<sim::Change> changes;
};

struct Flush {
    uint32_t option = 0; // the flush option of lcache_if_flush_all
};

using Event = std::variant<ModelChange, Flush>;

// Setup a switch gets before the cache starts: every interface carries a
// value under each extension owner key, slot 0's also as private data.
std::vector<sim::Change> extension_setup(const sim::Switch &model, const uint32_t keys[4]);

class Workload {
  public:
    // `model` is the switch the stream is planned on; it must outlive the
    // workload and change only through the events it hands out.
    Workload(const WorkloadOptions &options, const sim::Switch &model);

    bool done() const { return issued_ == options_.queries && !event_due(); }
    // The queries that come before the next event, at most `limit`.
    void next_queries(std::vector<Query> &out, size_t limit);
    // The event due now, if any.
    std::optional<Event> next_event();
    // Keeps the list of interfaces in step with a change that was made.
    void applied(const sim::Change &change, const sim::Applied &result);

    uint64_t issued() const { return issued_; }

  private:
    bool event_due() const;
    const sim::Interface &pick_interface(bool skewed);
    const QueryKind *pick_kind(const sim::Interface &itf, Target &target);
    ModelChange pick_change();
    std::vector<sim::Change> link_flap();
    std::vector<sim::Change> protocol_flap();
    std::vector<sim::Change> mtu_change();
    std::vector<sim::Change> mac_change();
    std::vector<sim::Change> vlan_change();
    std::vector<sim::Change> switchport_change();
    std::vector<sim::Change> membership_change();
    std::vector<sim::Change> interface_added();
    std::vector<sim::Change> interface_removed();
    uint16_t random_vlan(uint16_t other_than);
    template <class Pred> std::vector<const sim::Interface *> live_where(Pred pred) const;
    template <class T> const T *pick(const std::vector<T> &from);
    bool is_bundle_port(sim::IfIndex ifindex) const { return bundle_ports_.contains(ifindex); }

    WorkloadOptions options_;
    const sim::Switch &model_;
    std::mt19937_64 rng_;
    std::vector<std::pair<const QueryKind *, uint32_t>> weights_; // how often each is asked
    std::vector<sim::IfIndex> live_; // shuffled once; the first hot_ are hot
    size_t hot_ = 1;
    // The ports that are port-channel members at the start: they move
    // between port-channels and out of them, the other ports never join one.
    std::unordered_set<sim::IfIndex> bundle_ports_;
    uint64_t issued_ = 0;
    uint64_t changes_ = 0;
    uint64_t flushes_ = 0;
};

} // namespace lcsim
