// SPDX-License-Identifier: MIT
#include "host_changes.h"

namespace lchost {
namespace {

constexpr uint32_t kMinMtu = 1280;
constexpr uint32_t kMaxMtu = 9000;

// Identity churn is rarer than attribute changes.
const ChangeKindRow kKinds[] = {
    {ChangeKind::carrier, "carrier", 2},
    {ChangeKind::admin, "admin", 2},
    {ChangeKind::mtu, "mtu", 2},
    {ChangeKind::mac, "mac", 2},
    {ChangeKind::bridge, "bridge", 2},
    {ChangeKind::recreate, "recreate", 1},
    {ChangeKind::rename, "rename", 1},
    {ChangeKind::index_reuse, "index_reuse", 1},
    {ChangeKind::netns_move, "netns_move", 1},
};

std::string described(const Pair &p) {
    return p.near_name + " (iod " + std::to_string(p.near) + ")";
}

// An MTU the pair does not have, so an answer kept from before is wrong.
uint32_t other_mtu(const Pair &p, std::mt19937_64 &rng) {
    std::uniform_int_distribution<uint32_t> pick(kMinMtu, kMaxMtu);
    uint32_t mtu;
    do
        mtu = pick(rng);
    while (mtu == p.mtu || mtu == kDefaultMtu);
    return mtu;
}

} // namespace

std::span<const ChangeKindRow> change_kinds() { return kKinds; }

int make_change(ChangeKind kind, uint32_t i, World &world, OtherNetns &elsewhere,
                std::mt19937_64 &rng, Change &change) {
    const Pair &p = world.pair(i);
    change = Change{.what = described(p), .pair = i};
    auto link_state = [&p] { return std::to_string(p.near_up && p.peer_up); };
    switch (kind) {
    case ChangeKind::carrier: {
        bool up = !p.peer_up;
        change.what = (up ? "carrier back on " : "carrier lost on ") + change.what;
        change.witness = &query_named("linkup");
        int error = world.set_carrier(i, up);
        change.expected = link_state();
        return error;
    }
    case ChangeKind::admin: {
        bool up = !p.near_up;
        change.what = (up ? "admin up " : "admin down ") + change.what;
        change.witness = &query_named("protoup");
        int error = world.set_admin(i, up);
        change.expected = link_state();
        return error;
    }
    case ChangeKind::mtu: {
        uint32_t mtu = other_mtu(p, rng);
        change.what = "mtu " + std::to_string(mtu) + " on " + change.what;
        change.witness = &query_named("mtu");
        change.expected = std::to_string(mtu);
        return world.set_mtu(i, mtu);
    }
    case ChangeKind::mac: {
        std::array<uint8_t, 6> mac = {0x02, 0, 0, 0, 0, 0};
        for (size_t b = 1; b < mac.size(); ++b)
            mac[b] = static_cast<uint8_t>(rng());
        change.what = "mac " + mac_shown(mac) + " on " + change.what;
        change.witness = &query_named("mac");
        change.expected = mac_shown(mac);
        return world.set_mac(i, mac);
    }
    case ChangeKind::bridge: {
        bool bridged = !p.bridged;
        change.what = (bridged ? "enslaving " : "releasing ") + change.what;
        change.witness = &query_named("switchport");
        change.expected = std::to_string(bridged);
        return world.set_bridged(i, bridged);
    }
    case ChangeKind::recreate:
        change.what = "deleting and re-creating " + change.what;
        change.witness = &query_named("name");
        change.expected = p.near_name;
        change.gone_iod = p.near;
        return world.recreate(i);
    case ChangeKind::rename: {
        std::string name = world.fresh_name("eth", i);
        change.what = "renaming " + change.what + " to " + name;
        change.witness = &query_named("name");
        change.expected = name;
        return world.rename(i, name);
    }
    case ChangeKind::index_reuse: {
        uint32_t mtu = other_mtu(p, rng);
        std::string name = world.fresh_name("eth", i), peer = world.fresh_name("vp", i);
        change.what = "deleting " + change.what + " and giving its ifindex to " + name + " (peer " +
                      peer + ", mtu " + std::to_string(mtu) + ")";
        change.witness = &query_named("name");
        change.expected = name;
        return world.reuse_index(i, name, peer, mtu);
    }
    case ChangeKind::netns_move: break;
    }
    change.what = "moving " + change.what + " to another namespace";
    change.gone_iod = p.near;
    int netns = elsewhere.fd();
    return netns < 0 ? netns : world.move_away(i, netns);
}

int bring_back(uint32_t i, World &world, Change &change) {
    const Pair &p = world.pair(i);
    change = Change{.what = "re-creating " + p.near_name + " after its move (iod " +
                            std::to_string(p.near) + ")",
                    .pair = i,
                    .witness = &query_named("name"),
                    .expected = p.near_name};
    return world.recreate(i);
}

} // namespace lchost
