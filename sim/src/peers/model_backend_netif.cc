// SPDX-License-Identifier: MIT
// The interface manager's answers, read from the model.
#include "sim/model_backend.h"

namespace sim {

bool ModelBackend::has_type(uint32_t iod, IfType type) const {
    const Interface *itf = model_.find_by_iod(iod);
    return itf && itf->type == type;
}

bool ModelBackend::netif_is_switchport(uint32_t iod) { return field(iod, &Interface::switchport); }
bool ModelBackend::netif_is_linkup(uint32_t iod) { return field(iod, &Interface::linkup); }
bool ModelBackend::netif_is_protoup(uint32_t iod) { return field(iod, &Interface::protoup); }
bool ModelBackend::netif_is_ethernet(uint32_t iod) { return field(iod, &Interface::ethernet); }
bool ModelBackend::netif_is_vlan(uint32_t iod) { return field(iod, &Interface::is_vlan); }
bool ModelBackend::netif_is_loopback(uint32_t iod) { return field(iod, &Interface::loopback); }
bool ModelBackend::netif_is_native_p2p(uint32_t iod) { return field(iod, &Interface::native_p2p); }
bool ModelBackend::netif_is_null0(uint32_t iod) { return field(iod, &Interface::null0); }

bool ModelBackend::netif_is_switching_enabled_on_iod(uint32_t iod) {
    return field(iod, &Interface::switching);
}

bool ModelBackend::netif_is_mgmtether(uint32_t iod) { return has_type(iod, IfType::mgmt_ether); }

bool ModelBackend::netif_is_super_802_3ad(uint32_t iod) {
    return has_type(iod, IfType::port_channel);
}

bool ModelBackend::netif_is_gre_tunnel(uint32_t iod) { return has_type(iod, IfType::gre_tunnel); }

bool ModelBackend::netif_is_stretch_tunnel(uint32_t iod) {
    return has_type(iod, IfType::stretch_tunnel);
}

bool ModelBackend::netif_is_mpls_tunnel(uint32_t iod) { return has_type(iod, IfType::mpls_tunnel); }

bool ModelBackend::netif_is_6to4_tunnel(uint32_t iod) {
    return has_type(iod, IfType::six_to_four_tunnel);
}

uint16_t ModelBackend::netif_get_if_mtu(uint32_t iod) { return field(iod, &Interface::mtu); }

uint16_t ModelBackend::netif_get_if_encaptype(uint32_t iod) {
    return field(iod, &Interface::encap);
}

uint16_t ModelBackend::netif_get_if_vlanid(uint32_t iod) { return field(iod, &Interface::vlan_id); }

IfIndex ModelBackend::netif_get_sub_interface_parent(uint32_t iod) {
    return field(iod, &Interface::parent);
}

Reply<PortVlan> ModelBackend::netif_get_vlan_info(uint32_t iod) {
    const Interface *itf = model_.find_by_iod(iod);
    if (!itf)
        return {status::no_interface};
    if (!itf->vlan_info.valid)
        return {status::not_applicable};
    return {status::ok, {model_.slice(), itf->vlan_info.vlan, itf->vlan_info.mode}};
}

Reply<Mac> ModelBackend::netif_get_if_src_mac_addr(uint32_t iod) {
    return answer(model_.find_by_iod(iod), &Interface::mac);
}

bool ModelBackend::netif_is_if_mac_addr(uint32_t iod, const Mac &mac) {
    const Interface *itf = model_.find_by_iod(iod);
    return itf && itf->mac == mac;
}

Reply<std::string> ModelBackend::netif_get_if_name(uint32_t iod) {
    return answer(model_.find_by_iod(iod), &Interface::name);
}

PrivateData ModelBackend::netif_get_private_data(uint32_t iod, uint32_t key) {
    return keyed(iod, &Interface::private_data, key);
}

uint32_t ModelBackend::netif_get_extension(uint32_t iod, uint32_t key) {
    return keyed(iod, &Interface::extensions, key);
}

bool ModelBackend::netif_is_extension_set(uint32_t iod, uint32_t key) {
    const Interface *itf = model_.find_by_iod(iod);
    return itf && itf->extensions.contains(key);
}

Reply<uint32_t> ModelBackend::netif_get_iod_frm_ifindex(IfIndex ifindex) {
    return answer(model_.find(ifindex), &Interface::iod, kNoIod);
}

Reply<IfIndex> ModelBackend::netif_get_ifindex_frm_iod(uint32_t iod) {
    return answer(model_.find_by_iod(iod), &Interface::ifindex);
}

Reply<std::string> ModelBackend::netif_get_ifindex_name(IfIndex ifindex) {
    return answer(model_.find(ifindex), &Interface::name);
}

Reply<std::vector<uint32_t>>
ModelBackend::netif_get_ifindex_port_mode_list(const std::vector<IfIndex> &ifindexes) {
    std::vector<uint32_t> modes;
    modes.reserve(ifindexes.size());
    for (IfIndex ifindex : ifindexes) {
        const Interface *itf = model_.find(ifindex);
        if (!itf)
            return {status::no_interface};
        modes.push_back(itf->port_mode);
    }
    return {status::ok, std::move(modes)};
}

} // namespace sim
