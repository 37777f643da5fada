// SPDX-License-Identifier: MIT
// The interfaces `lcache-sim host` works on: N veth pairs in a private
// network namespace, the near ends (first named "ethN") watched through the
// cache, the far ends ("peerN") used to take their carrier away, and
// bridges each offered a thousand pairs, every fourth near end a port.
//
// Every change goes to the kernel first; the model follows only what the
// kernel accepted, so it always says what the kernel holds.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link_control.h"

namespace lchost {

inline constexpr uint32_t kDefaultMtu = 1500;

struct Pair {
    uint32_t near = 0; // kernel ifindex = the cache's iod
    uint32_t peer = 0;
    std::string near_name;
    std::string peer_name;
    uint32_t mtu = kDefaultMtu;
    bool near_up = true;
    bool peer_up = true;
    bool bridged = false;
    bool away = false; // the near end sits in another namespace; `near` is its old index
};

class World {
  public:
    // Enters the namespace and builds the pairs; false with the reason.
    bool build(uint32_t pairs, std::string &why);
    // Whether build got as far as a namespace of its own.
    bool in_namespace() const { return in_namespace_; }

    uint32_t size() const { return static_cast<uint32_t>(pairs_.size()); }
    const Pair &pair(uint32_t i) const { return pairs_[i]; }
    // The bridge pair i may join.
    uint32_t bridge_of(uint32_t i) const;

    // The changes; each answers 0 or the kernel's negative errno.
    int set_carrier(uint32_t i, bool up); // through the far end's admin state
    int set_admin(uint32_t i, bool up);
    int set_mtu(uint32_t i, uint32_t mtu);
    int set_mac(uint32_t i, const std::array<uint8_t, 6> &mac);
    int set_bridged(uint32_t i, bool bridged);
    // `prefix` and i, and a serial number no other name has had.
    std::string fresh_name(const char *prefix, uint32_t i);

    // A new name for the near end, its ifindex kept.
    int rename(uint32_t i, const std::string &name);
    // Deletes pair i, or what is left of it after a move, and makes it
    // again under the same names (the kernel gives it new ifindexes).
    int recreate(uint32_t i);
    // Deletes pair i and makes a different interface at the near end's
    // ifindex: new names, and `mtu`.
    int reuse_index(uint32_t i, const std::string &near_name, const std::string &peer_name,
                    uint32_t mtu);
    // Moves the near end into the namespace open as `netns_fd`; the pair
    // is `away` until re-created.
    int move_away(uint32_t i, int netns_fd);

  private:
    bool in_namespace_ = false;
    int make_pair(uint32_t i, uint32_t near_index);
    int remove_pair(uint32_t i);

    lcache_linux::LinkControl control_;
    std::vector<Pair> pairs_;
    std::vector<uint32_t> bridges_;
    uint64_t fresh_names_ = 0;
};

} // namespace lchost
