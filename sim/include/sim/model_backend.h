// The peer services answered from a sim::Switch.
#pragma once

#include "sim/peer_backend.h"
#include "sim/switch.h"

namespace sim {

// The process-wide model behind the default backend.
Switch &default_switch();

class ModelBackend : public PeerBackend {
  public:
    explicit ModelBackend(const Switch &model) : model_(model) {}

    SIM_PEER_OVERRIDES

  private:
    bool flag(uint32_t iod, bool Interface::*field) const;
    bool has_type(uint32_t iod, IfType type) const;
    Reply<const Vlan *> lookup_vlan(VlanKey key) const;
    Reply<const Interface *> channel(IfIndex ifindex) const;

    const Switch &model_;
};

} // namespace sim
