// SPDX-License-Identifier: MIT
// The peer functions liblcache carries fallbacks for.  They make up
// libsim_peers so that a process chooses, by linking it ahead of liblcache
// or not, whether the cache reaches the simulation or its own fallbacks.
#include "agg.h"
#include "dispatch.h"
#include "dmap.h"
#include "lifsvc.h"
#include "phyport.h"
#include "vlan_mgr.h"

using sim::IfIndex;
using sim::PeerBackend;
using sim::PeerFn;
using sim::detail::out_call;
using sim::detail::status_call;
namespace status = sim::status;

namespace {

sim::VlanKey unpack(const vlan_key_t &key) { return {key.slice, key.vlan}; }

} // namespace

extern "C" {

#define SIM_IN_sim(entry)
#define SIM_IN_peers(entry) entry
SIM_PEER_FUNCTIONS(SIM_ENTRY_POINT)

// `hash` is a u8 widened by the caller; only its low byte counts.
uint32_t agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint32_t hash, uint32_t *member) {
    return out_call(PeerFn::agg_get_pc_mbr_ifidx_from_rbh, member, [&](PeerBackend &b) {
        return b.agg_get_pc_mbr_ifidx_from_rbh(if_index, static_cast<uint8_t>(hash));
    });
}

// `bd` is a u16 widened by the caller; only its low half counts.
uint32_t dmap_lib_bd_to_di(uint32_t bd, uint32_t *di) {
    return out_call(PeerFn::dmap_lib_bd_to_di, di,
                    [&](PeerBackend &b) { return b.dmap_lib_bd_to_di(static_cast<uint16_t>(bd)); });
}

uint32_t vlan_get_bd(vlan_key_t key, uint16_t *bd) {
    return out_call(PeerFn::vlan_get_bd, bd,
                    [&](PeerBackend &b) { return b.vlan_get_bd(unpack(key)); });
}

uint32_t vlan_get_bd_and_primary_vlan(vlan_key_t key, uint16_t *bd, uint32_t *pvlan) {
    return status_call(PeerFn::vlan_get_bd_and_primary_vlan, [&](PeerBackend &b) -> uint32_t {
        if (!bd || !pvlan)
            return status::bad_argument;
        auto reply = b.vlan_get_bd_and_primary_vlan(unpack(key));
        if (reply.ok()) {
            *bd = reply.value.bd;
            *pvlan = reply.value.primary;
        }
        return reply.status;
    });
}

} // extern "C"
