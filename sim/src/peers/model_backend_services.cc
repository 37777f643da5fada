// SPDX-License-Identifier: MIT
// The other peer services' answers, read from the model.
#include "sim/model_backend.h"

namespace sim {

Reply<const Interface *> ModelBackend::channel(IfIndex ifindex) const {
    const Interface *itf = model_.find(ifindex);
    if (!itf)
        return {status::no_interface};
    if (itf->type != IfType::port_channel)
        return {status::not_applicable};
    return {status::ok, itf};
}

Reply<PortChannelInfo> ModelBackend::agg_get_pc_info(IfIndex ifindex) {
    return from(channel(ifindex), [&](const Interface *pc) {
        return PortChannelInfo{model_.first_operational_member(ifindex),
                               static_cast<uint16_t>(pc->members.size())};
    });
}

// Hash values are spread over the operational members in ifindex order, so
// hash 0 lands on the first operational member.
Reply<IfIndex> ModelBackend::agg_get_pc_mbr_ifidx_from_rbh(IfIndex ifindex, uint8_t hash) {
    auto pc = channel(ifindex);
    if (!pc.ok())
        return {pc.status};
    const std::vector<IfIndex> up = model_.operational_members(ifindex);
    if (up.empty())
        return {status::no_operational_member};
    return {status::ok, up[hash % up.size()]};
}

Reply<IfIndex> ModelBackend::dmap_lib_si_to_ifidx(uint32_t si) {
    return answer(model_.find_by_pi(si), &Interface::ifindex);
}

// Traffic to a port-channel leaves through its first operational member.
Reply<uint32_t> ModelBackend::dmap_lib_ifidx_to_di(IfIndex ifindex) {
    const Interface *itf = model_.find(ifindex);
    if (!itf)
        return {status::no_interface};
    if (itf->type == IfType::port_channel) {
        const IfIndex first = model_.first_operational_member(ifindex);
        if (first == 0)
            return {status::no_operational_member};
        itf = &model_.at(first);
    }
    if (itf->pi == kNoPi)
        return {status::not_applicable};
    return {status::ok, itf->pi};
}

Reply<uint32_t> ModelBackend::dmap_lib_bd_to_di(uint16_t bd) {
    const Vlan *vlan = model_.find_vlan_by_bd(bd);
    if (!vlan)
        return {status::no_bridge_domain};
    return {status::ok, vlan->flood_index};
}

Reply<uint32_t> ModelBackend::lifsvc_query_ifindex_to_lif(IfIndex ifindex) {
    return answer(model_.find(ifindex), &Interface::lif, kNoLif);
}

Reply<IfIndex> ModelBackend::lifsvc_query_lif_to_ifindex(uint32_t lif) {
    return answer(model_.find_by_lif(lif), &Interface::ifindex);
}

uint32_t ModelBackend::rtctx_if_get_context_id(uint32_t iod) {
    return field(iod, &Interface::context);
}

uint32_t ModelBackend::rtctx_if_get_table_id(uint32_t iod, uint32_t af, std::string_view name) {
    const Interface *itf = model_.find_by_iod(iod);
    if (!itf || af != kAfIpv4 || name != kBaseTableName)
        return 0;
    return itf->base_table;
}

Reply<const Vlan *> ModelBackend::lookup_vlan(VlanKey key) const {
    if (key.slice != model_.slice())
        return {status::wrong_slice};
    const Vlan *found =
        key.vlan <= 0xFFFF ? model_.find_vlan(static_cast<uint16_t>(key.vlan)) : nullptr;
    if (!found)
        return {status::no_vlan};
    return {status::ok, found};
}

Reply<uint16_t> ModelBackend::vlan_get_bd(VlanKey key) {
    return from(lookup_vlan(key), [](const Vlan *vlan) { return vlan->bd; });
}

Reply<BdAndPrimary> ModelBackend::vlan_get_bd_and_primary_vlan(VlanKey key) {
    return from(lookup_vlan(key), [](const Vlan *vlan) {
        return BdAndPrimary{vlan->bd, vlan->primary};
    });
}

uint16_t ModelBackend::hostctl_slice_get() { return model_.slice(); }

Reply<uint8_t> ModelBackend::if_index_get_type(IfIndex ifindex) {
    const Interface *itf = model_.find(ifindex);
    if (!itf)
        return {status::no_interface};
    return {status::ok, type_code(itf->type)};
}

Reply<uint32_t> ModelBackend::phyport_gldb_get_ifindex_port_mode(IfIndex ifindex) {
    const Interface *itf = model_.find(ifindex);
    if (!itf)
        return {status::no_interface};
    if (itf->type != IfType::ethernet)
        return {status::not_applicable};
    return {status::ok, itf->port_mode};
}

} // namespace sim
