// SPDX-License-Identifier: MIT
#include "host_world.h"

#include <net/if.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "netns.h"

namespace lchost {
namespace {

// A bridge takes at most 1 023 ports; each is offered this many pairs.
constexpr uint32_t kPairsPerBridge = 1000;

std::string failure(const std::string &what, int error) {
    return what + ": " + std::strerror(-error);
}

// The kernel's ifindex of `name`, or a negative errno.
int64_t index_of(const std::string &name) {
    uint32_t index = if_nametoindex(name.c_str());
    return index ? int64_t{index} : -int64_t{errno};
}

// IPv6 address configuration of thousands of links costs the kernel
// minutes, and the cache sees none of it (it arrives on groups the bridge
// does not join); a kernel without IPv6 has nothing to turn off.
void turn_ipv6_off() {
    for (const char *scope : {"all", "default"})
        std::ofstream(std::string("/proc/sys/net/ipv6/conf/") + scope + "/disable_ipv6") << "1\n";
}

} // namespace

uint32_t World::bridge_of(uint32_t i) const { return bridges_[i / kPairsPerBridge]; }

int World::make_pair(uint32_t i, uint32_t near_index) {
    Pair &p = pairs_[i];
    if (int error = control_.add_veth(p.near_name, p.peer_name, near_index))
        return error;
    int64_t near = index_of(p.near_name), peer = index_of(p.peer_name);
    if (near < 0 || peer < 0)
        return static_cast<int>(near < 0 ? near : peer);
    p.near = static_cast<uint32_t>(near);
    p.peer = static_cast<uint32_t>(peer);
    p.mtu = kDefaultMtu;
    p.near_up = p.peer_up = true;
    p.bridged = false;
    p.away = false;
    if (i % 4 == 0)
        if (int error = set_bridged(i, true))
            return error;
    if (int error = control_.set_up(p.near, true))
        return error;
    return control_.set_up(p.peer, true);
}

int World::remove_pair(uint32_t i) {
    // Deleting either end deletes both, the far end reaching a near end
    // that moved away.
    return control_.remove(pairs_[i].peer);
}

bool World::build(uint32_t pairs, std::string &why) {
    if (!lcache_linux::enter_private_netns(why))
        return false;
    in_namespace_ = true;
    turn_ipv6_off();
    if (int error = control_.open())
        return why = failure("cannot open a netlink socket", error), false;
    for (uint32_t b = 0; b * kPairsPerBridge < pairs; ++b) {
        std::string name = "br" + std::to_string(b);
        if (int error = control_.add_bridge(name))
            return why = failure("cannot create " + name, error), false;
        int64_t index = index_of(name);
        if (index < 0)
            return why = failure("cannot find " + name, static_cast<int>(index)), false;
        bridges_.push_back(static_cast<uint32_t>(index));
        if (int error = control_.set_up(bridges_.back(), true))
            return why = failure("cannot bring " + name + " up", error), false;
    }
    pairs_.resize(pairs);
    for (uint32_t i = 0; i < pairs; ++i) {
        pairs_[i].near_name = "eth" + std::to_string(i);
        pairs_[i].peer_name = "peer" + std::to_string(i);
        if (int error = make_pair(i, 0))
            return why = failure("cannot create " + pairs_[i].near_name, error), false;
    }
    return true;
}

int World::set_carrier(uint32_t i, bool up) {
    int error = control_.set_up(pairs_[i].peer, up);
    if (error == 0)
        pairs_[i].peer_up = up;
    return error;
}

int World::set_admin(uint32_t i, bool up) {
    int error = control_.set_up(pairs_[i].near, up);
    if (error == 0)
        pairs_[i].near_up = up;
    return error;
}

int World::set_mtu(uint32_t i, uint32_t mtu) {
    int error = control_.set_mtu(pairs_[i].near, mtu);
    if (error == 0)
        pairs_[i].mtu = mtu;
    return error;
}

int World::set_mac(uint32_t i, const std::array<uint8_t, 6> &mac) {
    return control_.set_mac(pairs_[i].near, mac);
}

int World::set_bridged(uint32_t i, bool bridged) {
    int error = control_.set_master(pairs_[i].near, bridged ? bridge_of(i) : 0);
    if (error == 0)
        pairs_[i].bridged = bridged;
    return error;
}

std::string World::fresh_name(const char *prefix, uint32_t i) {
    return prefix + std::to_string(i) + "n" + std::to_string(++fresh_names_);
}

int World::rename(uint32_t i, const std::string &name) {
    int error = control_.rename(pairs_[i].near, name);
    if (error == 0)
        pairs_[i].near_name = name;
    return error;
}

int World::recreate(uint32_t i) {
    if (int error = remove_pair(i))
        return error;
    return make_pair(i, 0);
}

int World::reuse_index(uint32_t i, const std::string &near_name, const std::string &peer_name,
                       uint32_t mtu) {
    if (int error = remove_pair(i))
        return error;
    Pair &p = pairs_[i];
    p.near_name = near_name;
    p.peer_name = peer_name;
    if (int error = make_pair(i, p.near))
        return error;
    return set_mtu(i, mtu);
}

int World::move_away(uint32_t i, int netns_fd) {
    int error = control_.move_to_netns(pairs_[i].near, netns_fd);
    if (error == 0) {
        pairs_[i].away = true;
        pairs_[i].bridged = false;
    }
    return error;
}

} // namespace lchost
