// SPDX-License-Identifier: MIT
// The other peer services a Linux host answers: classification, slice,
// port-channels (bonds and teams), the index mapper, the LIF manager,
// routing contexts (VRFs), the VLAN manager (VLAN-filtering bridges) and
// the Ethernet port manager.
#include <cstring>

#include "agg.h"
#include "dmap.h"
#include "hostctl.h"
#include "if_index.h"
#include "lifsvc.h"
#include "lookup.h"
#include "phyport.h"
#include "rtctx.h"
#include "vlan_mgr.h"

using namespace lcache_linux;

namespace {

// The operational members of port-channel `if_index`.
uint32_t up_members_of(uint32_t if_index, Members &members) {
    LinkInfo link;
    Fetch fetch = link_of_ifindex(if_index, link);
    if (fetch != Fetch::ok)
        return status_of(fetch);
    if (classify(link) != IfType::port_channel)
        return LCACHE_LINUX_NOT_APPLICABLE;
    return status_of(fetch_up_members(link.index, members));
}

// The ifindex of an operational member, by its kernel ifindex.
uint32_t member_ifindex(uint32_t index, uint32_t &if_index) {
    LinkInfo link;
    Fetch fetch = link_of_iod(index, link);
    if (fetch == Fetch::ok)
        if_index = os_ifindex(link);
    return status_of(fetch);
}

uint32_t vlan_bd(const vlan_key_t &key, uint16_t *bd) {
    if (!bd)
        return LCACHE_LINUX_BAD_ARGUMENT;
    if (key.slice != kHostSlice)
        return LCACHE_LINUX_WRONG_SLICE;
    bool present = false;
    if (key.vlan == 0 || key.vlan > 4094)
        return LCACHE_LINUX_NO_VLAN;
    Fetch fetch = fetch_vlan_present(static_cast<uint16_t>(key.vlan), present);
    if (fetch != Fetch::ok)
        return status_of(fetch);
    if (!present)
        return LCACHE_LINUX_NO_VLAN;
    *bd = static_cast<uint16_t>(key.vlan);
    return 0;
}

} // namespace

extern "C" {

// Reads the ifindex's own bits; the kernel is not asked.
uint32_t if_index_get_type(uint32_t if_index, uint8_t *type) {
    if (!type)
        return LCACHE_LINUX_BAD_ARGUMENT;
    if (kernel_index(if_index) == 0 || !is_known_type(type_code(if_index)))
        return LCACHE_LINUX_NO_INTERFACE;
    *type = type_code(if_index);
    return 0;
}

uint16_t hostctl_slice_get(void) { return kHostSlice; }

uint32_t agg_get_pc_info(agg_pc_info_t *info) {
    if (!info)
        return LCACHE_LINUX_BAD_ARGUMENT;
    uint32_t if_index;
    memcpy(&if_index, info->bytes + AGG_PC_INFO_IFINDEX_OFF, sizeof if_index);
    Members members;
    if (uint32_t status = up_members_of(if_index, members))
        return status;
    uint32_t first = 0;
    if (members.count > 0) {
        if (uint32_t status = member_ifindex(members.index[0], first))
            return status;
    }
    auto count = static_cast<uint16_t>(members.count);
    memcpy(info->bytes + AGG_PC_INFO_FOP_OFF, &first, sizeof first);
    memcpy(info->bytes + AGG_PC_INFO_MEMBERS_OFF, &count, sizeof count);
    return 0;
}

uint32_t agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint32_t hash, uint32_t *member) {
    if (!member)
        return LCACHE_LINUX_BAD_ARGUMENT;
    Members members;
    if (uint32_t status = up_members_of(if_index, members))
        return status;
    if (members.count == 0)
        return LCACHE_LINUX_NO_MEMBER;
    return member_ifindex(members.index[(hash & 0xFF) % members.count], *member);
}

// An Ethernet port's port index is its kernel ifindex; a port-channel's is
// its first operational member's.
uint32_t dmap_lib_ifidx_to_di(uint32_t if_index, uint32_t *di) {
    if (!di)
        return LCACHE_LINUX_BAD_ARGUMENT;
    if (type_code(if_index) == static_cast<uint8_t>(IfType::port_channel)) {
        Members members;
        if (uint32_t status = up_members_of(if_index, members))
            return status;
        if (members.count == 0)
            return LCACHE_LINUX_NO_MEMBER;
        *di = members.index[0];
        return 0;
    }
    return translate(link_of_ifindex, if_index, di, [](const LinkInfo &link, uint32_t &out) {
        if (classify(link) != IfType::ethernet)
            return LCACHE_LINUX_NOT_APPLICABLE;
        out = link.index;
        return 0u;
    });
}

uint32_t dmap_lib_si_to_ifidx(uint32_t si, uint32_t *if_index) {
    return translate(link_of_iod, si, if_index, [](const LinkInfo &link, uint32_t &out) {
        if (classify(link) != IfType::ethernet)
            return LCACHE_LINUX_NO_INTERFACE;
        out = os_ifindex(link);
        return 0u;
    });
}

uint32_t dmap_lib_bd_to_di(uint32_t bd, uint32_t *di) {
    if (!di)
        return LCACHE_LINUX_BAD_ARGUMENT;
    uint16_t found;
    if (uint32_t status = vlan_bd(vlan_key_t{kHostSlice, bd & 0xFFFF}, &found))
        return status;
    *di = kFloodIndexBase + found;
    return 0;
}

uint32_t lifsvc_query_ifindex_to_lif(uint32_t if_index, uint32_t *lif) {
    return translate(link_of_ifindex, if_index, lif, [](const LinkInfo &link, uint32_t &out) {
        out = kLifBase + link.index;
        return 0u;
    });
}

uint32_t lifsvc_query_lif_to_ifindex(uint32_t lif, uint32_t *if_index) {
    // A LIF at or below the base names no kernel ifindex.
    uint32_t iod = lif > kLifBase ? lif - kLifBase : 0;
    return translate(link_of_iod, iod, if_index, [](const LinkInfo &link, uint32_t &out) {
        out = os_ifindex(link);
        return 0u;
    });
}

uint32_t rtctx_if_get_context_id(uint32_t iod) {
    return about_iod<uint32_t>(iod, 0, [](const LinkInfo &link) { return context_of(link); });
}

// Only the IPv4 "base" table has a kernel counterpart: the main table, or
// the table of the VRF that holds the interface.
uint32_t rtctx_if_get_table_id(uint32_t iod, uint32_t af, const char *name) {
    if (af != RTCTX_AF_IPV4 || !name || strcmp(name, "base") != 0)
        return 0;
    return about_iod<uint32_t>(iod, 0, [](const LinkInfo &link) { return base_table_of(link); });
}

uint32_t vlan_get_bd(vlan_key_t key, uint16_t *bd) { return vlan_bd(key, bd); }

// Linux bridges have no private VLANs: every VLAN is its own primary.
uint32_t vlan_get_bd_and_primary_vlan(vlan_key_t key, uint16_t *bd, uint32_t *pvlan) {
    if (!pvlan)
        return LCACHE_LINUX_BAD_ARGUMENT;
    uint32_t status = vlan_bd(key, bd);
    if (status == 0)
        *pvlan = key.vlan;
    return status;
}

uint32_t phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode) {
    return translate(link_of_ifindex, if_index, mode, [](const LinkInfo &link, uint32_t &out) {
        if (classify(link) != IfType::ethernet)
            return LCACHE_LINUX_NOT_APPLICABLE;
        out = is_bridge_port(link) ? kPortModeSwitched : kPortModeRouted;
        return 0u;
    });
}

} // extern "C"
