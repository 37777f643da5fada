// SPDX-License-Identifier: MIT
// Planning the stream: which interface, which query, which change.
#include "workload.h"

#include <algorithm>
#include <string>

namespace lcsim {
namespace {

using sim::Change;
using sim::ChangeKind;
using sim::IfType;
using sim::Interface;

enum class ChangeChoice { link, protocol, mtu, mac, vlan, switchport, membership, add, remove };
struct ChangeWeight {
    ChangeChoice choice;
    uint32_t weight;
};
constexpr ChangeWeight kChangeWeights[] = {
    {ChangeChoice::link, 30},       {ChangeChoice::protocol, 10}, {ChangeChoice::mtu, 15},
    {ChangeChoice::mac, 5},         {ChangeChoice::vlan, 10},     {ChangeChoice::switchport, 5},
    {ChangeChoice::membership, 15}, {ChangeChoice::add, 5},       {ChangeChoice::remove, 5},
};

// The flush options in turn: critical often, medium and low less.
constexpr uint32_t kFlushOptions[] = {2, 1, 2, 0};

constexpr uint16_t kMtus[] = {1500, 1400, 9000, 9216};

bool has_subinterfaces(const sim::Switch &model, sim::IfIndex ifindex) {
    return std::ranges::any_of(model.interfaces(),
                               [&](const auto &entry) { return entry.second.parent == ifindex; });
}

} // namespace

std::vector<Change> extension_setup(const sim::Switch &model, const uint32_t keys[4]) {
    std::vector<Change> setup;
    for (const auto &[ifindex, itf] : model.interfaces()) {
        for (uint32_t slot = 0; slot < 4; ++slot) {
            // Any nonzero value that differs per interface and slot.
            const uint32_t value = ((ifindex * 2654435761u) ^ ((slot + 1) << 28)) | 1;
            setup.push_back(Change{ChangeKind::set_extension, ifindex, keys[slot], value});
            if (slot == 0)
                setup.push_back(Change{ChangeKind::set_private_data, ifindex, keys[0], value, 4});
        }
    }
    return setup;
}

Workload::Workload(const WorkloadOptions &options, const sim::Switch &model)
    : options_(options), model_(model), rng_(options.seed) {
    for (const auto &[ifindex, itf] : model.interfaces()) {
        live_.push_back(ifindex);
        if (itf.bundle != 0)
            bundle_ports_.insert(ifindex);
    }
    std::shuffle(live_.begin(), live_.end(), rng_);
    for (const QueryKind &kind : query_kinds())
        weights_.emplace_back(&kind, kind.weight);
    const auto hot = static_cast<size_t>(static_cast<double>(live_.size()) * options.hot_fraction);
    hot_ = std::max<size_t>(1, hot);
}

bool Workload::event_due() const {
    if (issued_ >= options_.queries)
        return false;
    const bool change = options_.change_every && issued_ >= (changes_ + 1) * options_.change_every;
    const bool flush = options_.flush_every && issued_ >= (flushes_ + 1) * options_.flush_every;
    return change || flush;
}

void Workload::next_queries(std::vector<Query> &out, size_t limit) {
    out.clear();
    uint64_t end = std::min<uint64_t>(options_.queries, issued_ + limit);
    if (options_.change_every)
        end = std::min<uint64_t>(end, (changes_ + 1) * options_.change_every);
    if (options_.flush_every)
        end = std::min<uint64_t>(end, (flushes_ + 1) * options_.flush_every);
    for (; issued_ < end; ++issued_) {
        Query q;
        const Interface &itf = pick_interface(true);
        q.kind = pick_kind(itf, q.target);
        out.push_back(q);
    }
}

std::optional<Event> Workload::next_event() {
    if (!event_due())
        return std::nullopt;
    if (options_.flush_every && issued_ >= (flushes_ + 1) * options_.flush_every)
        return Flush{kFlushOptions[flushes_++ % std::size(kFlushOptions)]};
    ++changes_;
    return pick_change();
}

void Workload::applied(const Change &change, const sim::Applied &result) {
    if (result.added)
        live_.push_back(result.added);
    if (change.kind == ChangeKind::remove_interface) {
        auto it = std::ranges::find(live_, change.target);
        if (it != live_.end()) {
            *it = live_.back();
            live_.pop_back();
        }
    }
}

const Interface &Workload::pick_interface(bool skewed) {
    const size_t hot = std::min(hot_, live_.size());
    const bool from_hot = skewed && std::bernoulli_distribution(options_.hot_share)(rng_);
    const size_t range = from_hot ? hot : live_.size();
    const size_t index = std::uniform_int_distribution<size_t>(0, range - 1)(rng_);
    return model_.at(live_[index]);
}

const QueryKind *Workload::pick_kind(const Interface &itf, Target &target) {
    target = target_of(itf, model_.slice());
    const bool known_vlan = target.vlan != 0 && model_.find_vlan(target.vlan);
    const bool bundle_port = is_bundle_port(itf.ifindex);

    // Port indexes are asked of Ethernet ports.  A port-channel shares its
    // first operational member's, so while it is cached the cache's pi
    // table maps that index to the port-channel: the ports that are ever
    // members are left out.
    // VLAN information is asked of switchports, which have it.
    auto applies = [&](const QueryKind &kind) {
        const std::string_view name = kind.name;
        switch (kind.family) {
        case Family::vlan: return name != "vlan-info" || itf.switchport;
        case Family::pi: return itf.type == IfType::ethernet && !bundle_port;
        case Family::lif: return name != "ifindex-of-lif" || itf.lif != sim::kNoLif;
        case Family::port_channel: return itf.type == IfType::port_channel;
        case Family::vlan_cache: return known_vlan;
        default: return true;
        }
    };
    uint32_t total = 0;
    for (const auto &[kind, weight] : weights_)
        if (applies(*kind))
            total += weight;
    uint32_t draw = std::uniform_int_distribution<uint32_t>(0, total - 1)(rng_);
    for (const auto &[kind, weight] : weights_) {
        if (!applies(*kind))
            continue;
        if (draw < weight)
            return kind;
        draw -= weight;
    }
    return weights_.front().first;
}

template <class Pred> std::vector<const Interface *> Workload::live_where(Pred pred) const {
    std::vector<const Interface *> found;
    for (sim::IfIndex ifindex : live_) {
        const Interface &itf = model_.at(ifindex);
        if (pred(itf))
            found.push_back(&itf);
    }
    return found;
}

template <class T> const T *Workload::pick(const std::vector<T> &from) {
    if (from.empty())
        return nullptr;
    return &from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng_)];
}

ModelChange Workload::pick_change() {
    uint32_t total = 0;
    for (const ChangeWeight &w : kChangeWeights)
        total += w.weight;
    for (;;) {
        uint32_t draw = std::uniform_int_distribution<uint32_t>(0, total - 1)(rng_);
        ChangeChoice choice = ChangeChoice::link;
        for (const ChangeWeight &w : kChangeWeights) {
            if (draw < w.weight) {
                choice = w.choice;
                break;
            }
            draw -= w.weight;
        }
        std::vector<Change> changes;
        switch (choice) {
        case ChangeChoice::link: changes = link_flap(); break;
        case ChangeChoice::protocol: changes = protocol_flap(); break;
        case ChangeChoice::mtu: changes = mtu_change(); break;
        case ChangeChoice::mac: changes = mac_change(); break;
        case ChangeChoice::vlan: changes = vlan_change(); break;
        case ChangeChoice::switchport: changes = switchport_change(); break;
        case ChangeChoice::membership: changes = membership_change(); break;
        case ChangeChoice::add: changes = interface_added(); break;
        case ChangeChoice::remove: changes = interface_removed(); break;
        }
        // A choice with nothing to change on this switch draws again.
        if (!changes.empty())
            return ModelChange{std::move(changes)};
    }
}

// A member's link takes its place in the bundle with it.
std::vector<Change> Workload::link_flap() {
    const Interface &itf = pick_interface(false);
    const uint32_t up = itf.linkup ? 0 : 1;
    std::vector<Change> changes{Change{ChangeKind::set_link, itf.ifindex, up}};
    if (itf.bundle != 0)
        changes.push_back(Change{ChangeKind::set_member_operational, itf.bundle, itf.ifindex, up});
    return changes;
}

std::vector<Change> Workload::protocol_flap() {
    const Interface &itf = pick_interface(false);
    return {Change{ChangeKind::set_protocol, itf.ifindex, itf.protoup ? 0u : 1u}};
}

std::vector<Change> Workload::mtu_change() {
    const auto candidates = live_where([](const Interface &itf) {
        return itf.type == IfType::ethernet || itf.type == IfType::port_channel ||
               itf.type == IfType::vlan_if || itf.type == IfType::subif;
    });
    const Interface *const *itf = pick(candidates);
    if (!itf)
        return {};
    uint16_t mtu = (*itf)->mtu;
    while (mtu == (*itf)->mtu)
        mtu = kMtus[std::uniform_int_distribution<size_t>(0, std::size(kMtus) - 1)(rng_)];
    return {Change{ChangeKind::set_mtu, (*itf)->ifindex, mtu}};
}

std::vector<Change> Workload::mac_change() {
    const auto candidates = live_where([](const Interface &itf) {
        return itf.type == IfType::ethernet || itf.type == IfType::port_channel;
    });
    const Interface *const *itf = pick(candidates);
    if (!itf)
        return {};
    Change change{ChangeKind::set_mac, (*itf)->ifindex};
    const uint64_t bits = rng_();
    change.mac = {0x02,
                  static_cast<uint8_t>(bits),
                  static_cast<uint8_t>(bits >> 8),
                  static_cast<uint8_t>(bits >> 16),
                  static_cast<uint8_t>(bits >> 24),
                  static_cast<uint8_t>(bits >> 32)};
    return {change};
}

uint16_t Workload::random_vlan(uint16_t other_than) {
    std::vector<uint16_t> vlans;
    for (const auto &[id, vlan] : model_.vlans())
        if (id != other_than)
            vlans.push_back(id);
    const uint16_t *vlan = pick(vlans);
    return vlan ? *vlan : 0;
}

std::vector<Change> Workload::vlan_change() {
    const auto switchports = live_where([](const Interface &itf) { return itf.switchport; });
    const Interface *const *itf = pick(switchports);
    if (!itf)
        return {};
    const uint16_t vlan = random_vlan(kept_vlan(**itf));
    if (vlan == 0)
        return {};
    return {Change{ChangeKind::set_vlan, (*itf)->ifindex, vlan}};
}

// Ports that are in no port-channel and carry no sub-interface go round
// routed, access, trunk; a new switchport is put in one of the VLANs.
std::vector<Change> Workload::switchport_change() {
    const auto ports = live_where([&](const Interface &itf) {
        return itf.type == IfType::ethernet && !is_bundle_port(itf.ifindex) &&
               !has_subinterfaces(model_, itf.ifindex);
    });
    const Interface *const *port = pick(ports);
    if (!port)
        return {};
    const Interface &itf = **port;
    if (!itf.switchport) {
        std::vector<Change> changes{Change{ChangeKind::set_switchport_mode, itf.ifindex,
                                           static_cast<uint32_t>(sim::SwitchportMode::access)}};
        if (const uint16_t vlan = random_vlan(0))
            changes.push_back(Change{ChangeKind::set_vlan, itf.ifindex, vlan});
        return changes;
    }
    const auto next = itf.vlan_info.mode == sim::kVlanModeAccess ? sim::SwitchportMode::trunk
                                                                 : sim::SwitchportMode::routed;
    return {Change{ChangeKind::set_switchport_mode, itf.ifindex, static_cast<uint32_t>(next)}};
}

// A member leaves, a free port joins, or a member's operational state flips.
std::vector<Change> Workload::membership_change() {
    const auto channels =
        live_where([](const Interface &itf) { return itf.type == IfType::port_channel; });
    const Interface *const *channel = pick(channels);
    if (!channel)
        return {};
    const Interface &pc = **channel;
    std::vector<sim::IfIndex> free_ports;
    for (sim::IfIndex port : bundle_ports_) {
        const Interface *itf = model_.find(port);
        if (itf && itf->bundle == 0)
            free_ports.push_back(port);
    }
    std::ranges::sort(free_ports); // the set's order is not the seed's
    switch (std::uniform_int_distribution<int>(0, 2)(rng_)) {
    case 0:
        if (const sim::IfIndex *port = pick(free_ports))
            return {Change{ChangeKind::add_member, pc.ifindex, *port, 1}};
        return {};
    case 1:
        if (const sim::Member *member = pick(pc.members))
            return {Change{ChangeKind::remove_member, pc.ifindex, member->ifindex}};
        return {};
    default:
        if (const sim::Member *member = pick(pc.members))
            return {Change{ChangeKind::set_member_operational, pc.ifindex, member->ifindex,
                           member->operational ? 0u : 1u}};
        return {};
    }
}

std::vector<Change> Workload::interface_added() {
    switch (std::uniform_int_distribution<int>(0, 2)(rng_)) {
    case 0: {
        uint32_t number = 0;
        while (model_.find(sim::make_ifindex(IfType::loopback, number)))
            ++number;
        return {Change{ChangeKind::add_loopback, 0, number}};
    }
    case 1: {
        const auto routed = live_where([&](const Interface &itf) {
            return itf.type == IfType::ethernet && !itf.switchport && !is_bundle_port(itf.ifindex);
        });
        const Interface *const *parent = pick(routed);
        if (!parent)
            return {};
        uint32_t number = 1;
        while (model_.find_by_name((*parent)->name + "." + std::to_string(number)))
            ++number;
        return {
            Change{ChangeKind::add_subinterface, (*parent)->ifindex, number, 2000 + number % 2000}};
    }
    default: {
        std::vector<uint16_t> bare;
        for (const auto &[id, vlan] : model_.vlans())
            if (!model_.find(sim::make_ifindex(IfType::vlan_if, id)))
                bare.push_back(id);
        const uint16_t *vlan = pick(bare);
        if (!vlan)
            return {};
        return {Change{ChangeKind::add_vlan_interface, 0, *vlan}};
    }
    }
}

std::vector<Change> Workload::interface_removed() {
    const auto removable = live_where([](const Interface &itf) {
        return itf.type == IfType::subif || itf.type == IfType::loopback ||
               itf.type == IfType::vlan_if;
    });
    const Interface *const *itf = pick(removable);
    if (!itf)
        return {};
    return {Change{ChangeKind::remove_interface, (*itf)->ifindex}};
}

} // namespace lcsim
