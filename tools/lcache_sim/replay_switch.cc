// SPDX-License-Identifier: MIT
// The scenario commands that build and change the switch, and hand its
// notifications to the cache.
#include <cstdio>
#include <map>
#include <optional>

#include "notification_text.h"
#include "replay_session.h"
#include "sim/lcache_delivery.h"
#include "sim/peer_calls.h"

namespace lcsim {

using sim::Change;
using sim::ChangeKind;

void Replayer::change(const Change &c) {
    const sim::Applied applied = board_.apply(c);
    if (applied.added) {
        const sim::Interface &itf = board_.model().at(applied.added);
        std::string keys = "ifindex " + hex(itf.ifindex) + ", iod " + std::to_string(itf.iod);
        if (itf.pi != sim::kNoPi)
            keys += ", pi " + std::to_string(itf.pi);
        if (itf.lif != sim::kNoLif)
            keys += ", lif " + std::to_string(itf.lif);
        std::printf("  added %s: %s\n", itf.name.c_str(), keys.c_str());
    }
    if (applied.sent.empty())
        std::printf("  nothing is sent\n");
    ++changes_;
    for (const sim::Notification &n : applied.sent) {
        Pending p{n, notification_details(n, board_.model()), changes_};
        std::printf("  pending %s %s\n", notification_kind(n), p.details.c_str());
        pending_.push_back(std::move(p));
    }
}

void Replayer::leaf(Words args) {
    const auto o = parse_options(args, {"ports", "port-channels", "members", "vlans", "first-vlan",
                                        "subinterfaces", "loopbacks", "mgmt", "slice"});
    sim::LeafOptions leaf;
    auto number = [&](const char *key, auto &field, uint32_t max) {
        if (auto it = o.find(key); it != o.end())
            field = static_cast<std::remove_reference_t<decltype(field)>>(
                parse_number(it->second, max));
    };
    number("ports", leaf.ethernet_ports, 0xFFFFFFFF);
    number("port-channels", leaf.port_channels, 0xFFFFFFFF);
    number("members", leaf.members_per_channel, 0xFFFFFFFF);
    number("vlans", leaf.vlans, 0xFFFFFFFF);
    number("first-vlan", leaf.first_vlan, 0xFFFF);
    number("subinterfaces", leaf.subinterfaces, 0xFFFFFFFF);
    number("loopbacks", leaf.loopbacks, 0xFFFFFFFF);
    number("slice", leaf.slice, 0xFFFF);
    if (auto it = o.find("mgmt"); it != o.end())
        leaf.management = parse_choice(it->second, "yes", "no");
    board_.build(leaf);
    pending_.clear();
    std::printf("  leaf: %zu interfaces, %zu VLANs\n", board_.model().interfaces().size(),
                board_.model().vlans().size());
}

void Replayer::empty(Words args) {
    expect_words(args, 0, "empty");
    board_.build(std::nullopt);
    pending_.clear();
    std::printf("  empty switch\n");
}

void Replayer::add(Words args) {
    if (args.empty())
        throw ScenarioError("usage: add KIND ...");
    const std::string &kind = args[0];
    Change c;
    if (kind == "ethernet") {
        expect_words(args, 2, "add ethernet MODULE/PORT");
        const size_t slash = args[1].find('/');
        if (slash == std::string::npos)
            throw ScenarioError("expected MODULE/PORT, not '" + args[1] + "'");
        c = {ChangeKind::add_ethernet, 0, parse_number(args[1].substr(0, slash)),
             parse_number(args[1].substr(slash + 1))};
    } else if (kind == "mgmt" || kind == "port-channel" || kind == "loopback" || kind == "vlan" ||
               kind == "vlan-interface") {
        expect_words(args, 2, "add mgmt|port-channel|loopback|vlan|vlan-interface N");
        const ChangeKind k = kind == "mgmt"           ? ChangeKind::add_mgmt
                             : kind == "port-channel" ? ChangeKind::add_port_channel
                             : kind == "loopback"     ? ChangeKind::add_loopback
                             : kind == "vlan"         ? ChangeKind::add_vlan
                                                      : ChangeKind::add_vlan_interface;
        c = {k, 0, parse_number(args[1])};
    } else if (kind == "subinterface") {
        expect_words(args, 4, "add subinterface PARENT NUMBER VLAN");
        c = {ChangeKind::add_subinterface, interface(args[1]).ifindex, parse_number(args[2]),
             parse_number(args[3])};
    } else if (kind == "null0") {
        expect_words(args, 1, "add null0");
        c = {ChangeKind::add_null0};
    } else if (kind == "tunnel") {
        expect_words(args, 3, "add tunnel gre|stretch|mpls|6to4 N");
        static const std::map<std::string, sim::IfType, std::less<>> kTunnels = {
            {"gre", sim::IfType::gre_tunnel},
            {"stretch", sim::IfType::stretch_tunnel},
            {"mpls", sim::IfType::mpls_tunnel},
            {"6to4", sim::IfType::six_to_four_tunnel}};
        const sim::IfType type = parse_named(kTunnels, args[1], "tunnel kind");
        c = {ChangeKind::add_tunnel, 0, sim::type_code(type), parse_number(args[2])};
    } else {
        throw ScenarioError("cannot add '" + kind + "'");
    }
    change(c);
}

// Commands of the form `NAME IF VALUE...`.
void Replayer::interface_change(ChangeKind kind, Words args, size_t values, const char *usage) {
    expect_words(args, values + 1, usage);
    Change c{kind, interface(args[0]).ifindex};
    uint32_t *fields[] = {&c.arg1, &c.arg2, &c.arg3};
    for (size_t i = 0; i < values; ++i)
        *fields[i] = parse_number(args[i + 1]);
    change(c);
}

void Replayer::up_down(ChangeKind kind, Words args, const char *usage) {
    expect_words(args, 2, usage);
    change({kind, interface(args[0]).ifindex, parse_choice(args[1], "up", "down") ? 1u : 0u});
}

void Replayer::mac(Words args) {
    expect_words(args, 2, "mac IF xxxx.xxxx.xxxx");
    Change c{ChangeKind::set_mac, interface(args[0]).ifindex};
    c.mac = parse_mac(args[1]);
    change(c);
}

void Replayer::switchport(Words args) {
    expect_words(args, 2, "switchport IF routed|access|trunk");
    static const std::map<std::string, sim::SwitchportMode, std::less<>> kModes = {
        {"routed", sim::SwitchportMode::routed},
        {"access", sim::SwitchportMode::access},
        {"trunk", sim::SwitchportMode::trunk}};
    const sim::SwitchportMode mode = parse_named(kModes, args[1], "switchport mode");
    change(
        {ChangeKind::set_switchport_mode, interface(args[0]).ifindex, static_cast<uint32_t>(mode)});
}

void Replayer::switching(Words args) {
    expect_words(args, 2, "switching IF on|off");
    change({ChangeKind::set_switching, interface(args[0]).ifindex,
            parse_choice(args[1], "on", "off") ? 1u : 0u});
}

void Replayer::member(Words args) {
    expect_words(args, 3, "member add|remove|up|down CHANNEL PORT");
    const uint32_t channel = interface(args[1]).ifindex;
    const uint32_t port = interface(args[2]).ifindex;
    const std::string &op = args[0];
    if (op == "add")
        change({ChangeKind::add_member, channel, port, 1});
    else if (op == "remove")
        change({ChangeKind::remove_member, channel, port});
    else
        change({ChangeKind::set_member_operational, channel, port,
                parse_choice(op, "up", "down") ? 1u : 0u});
}

void Replayer::remove(Words args) {
    expect_words(args, 1, "remove IF");
    change({ChangeKind::remove_interface, interface(args[0]).ifindex});
}

void Replayer::vlan_change(ChangeKind kind, Words args, const char *usage) {
    expect_words(args, 2, usage);
    change({kind, 0, parse_number(args[0]), parse_number(args[1])});
}

void Replayer::notify(Words args) {
    expect_words(args, 0, "notify");
    if (pending_.empty())
        std::printf("  nothing is pending\n");
    std::vector<Pending> sending = std::move(pending_);
    pending_.clear();
    // One change's notifications are one operation: its events follow
    // its last notification.
    for (size_t i = 0; i < sending.size(); ++i) {
        const Pending &p = sending[i];
        if (i == 0 || sending[i - 1].change != p.change)
            lcache_watch_begin();
        const uint64_t before = sim::total_calls();
        const int32_t result = sim::deliver(p.sent);
        report_call(std::string(entry_point(p.sent)) + " " + p.details + " = " +
                        std::to_string(result),
                    before);
        if (i + 1 == sending.size() || sending[i + 1].change != p.change) {
            lcache_watch_end();
            traces();
        }
    }
}

void Replayer::drop(Words args) {
    expect_words(args, 0, "drop");
    std::printf("  dropped %zu notification%s\n", pending_.size(), pending_.size() == 1 ? "" : "s");
    pending_.clear();
}

} // namespace lcsim
