// SPDX-License-Identifier: MIT
// The peer services as one C++ interface: one virtual per peer function
// (sim/peer_fn.h), named after it, with plain-data arguments and answers so
// that a backend may live in another process.  The extern "C" peer functions translate
// their records to and from these calls; a failed Reply leaves the C
// caller's outputs untouched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/interface.h"
#include "sim/peer_fn.h"
#include "sim/status.h"
#include "sim/types.h"

namespace sim {

template <class T> struct Reply {
    uint32_t status = status::ok;
    T value{};
    bool ok() const { return status == status::ok; }
};

struct PortVlan {
    uint16_t slice = 0;
    uint32_t vlan = 0;
    uint32_t mode = 0;
};

struct PortChannelInfo {
    IfIndex first_operational = 0; // 0 = none
    uint16_t members = 0;
};

struct VlanKey {
    uint16_t slice = 0;
    uint32_t vlan = 0;
};

struct BdAndPrimary {
    uint16_t bd = 0;
    uint32_t primary = 0;
};

class PeerBackend {
  public:
    virtual ~PeerBackend() = default;

#define SIM_PEER_VIRTUAL(name, kind, Result, params, ...) virtual Result name params = 0;
    SIM_PEER_FUNCTIONS(SIM_PEER_VIRTUAL)
#undef SIM_PEER_VIRTUAL
};

// The overrides of a backend that answers every peer function, for its
// class body.
#define SIM_PEER_OVERRIDE(name, kind, Result, params, ...) Result name params override;
#define SIM_PEER_OVERRIDES SIM_PEER_FUNCTIONS(SIM_PEER_OVERRIDE)

// The backend every peer function dispatches to.  Until one is set it is a
// ModelBackend over default_switch().
PeerBackend &active_backend();
// `backend` (not owned) must outlive its use; nullptr restores the default.
void set_active_backend(PeerBackend *backend);

} // namespace sim
