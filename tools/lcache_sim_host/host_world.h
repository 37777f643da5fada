// The interfaces `lcache-sim host` works on: N veth pairs in a private
// network namespace, the near ends "ethN" watched through the cache, the
// far ends "peerN" used to take their carrier away, and a bridge "br0"
// holding every fourth near end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link_control.h"

namespace lchost {

struct Pair {
    uint32_t near = 0; // kernel ifindex = the cache's iod
    uint32_t peer = 0;
    bool near_up = true;
    bool peer_up = true;
    bool bridged = false;
};

class World {
  public:
    // Enters the namespace and builds the pairs; false with the reason.
    bool build(uint32_t pairs, std::string &why);

    uint32_t size() const { return static_cast<uint32_t>(pairs_.size()); }
    Pair &pair(uint32_t i) { return pairs_[i]; }
    uint32_t bridge() const { return bridge_; }
    lcache_linux::LinkControl &control() { return control_; }

    // Deletes pair i and makes it again under the same names (the kernel
    // gives it new ifindexes).  0 or a negative errno.
    int recreate(uint32_t i);

  private:
    int make_pair(uint32_t i);

    lcache_linux::LinkControl control_;
    std::vector<Pair> pairs_;
    uint32_t bridge_ = 0;
};

std::string near_name(uint32_t i);
std::string peer_name(uint32_t i);

} // namespace lchost
