// SPDX-License-Identifier: MIT
// The library's own definitions of nine peer-service functions.  Each
// answers 99 and touches nothing.  They are exported with default
// visibility and the library calls them through the PLT, so a peer library
// that comes earlier in the process's lookup order replaces them for the
// library's own calls too.  Keep this unit free of anything else, and never
// build it with LTO or symbolic binding.
#include "agg.h"
#include "dmap.h"
#include "lifsvc.h"
#include "phyport.h"
#include "vlan_mgr.h"

namespace {
constexpr uint32_t kPeerAbsent = 99;
}

extern "C" {

uint32_t agg_get_pc_mbr_ifidx_from_rbh(uint32_t, uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t dmap_lib_si_to_ifidx(uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t dmap_lib_ifidx_to_di(uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t dmap_lib_bd_to_di(uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t phyport_gldb_get_ifindex_port_mode(uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t vlan_get_bd(vlan_key_t, uint16_t *) { return kPeerAbsent; }
uint32_t vlan_get_bd_and_primary_vlan(vlan_key_t, uint16_t *, uint32_t *) { return kPeerAbsent; }
uint32_t lifsvc_query_ifindex_to_lif(uint32_t, uint32_t *) { return kPeerAbsent; }
uint32_t lifsvc_query_lif_to_ifindex(uint32_t, uint32_t *) { return kPeerAbsent; }
}
