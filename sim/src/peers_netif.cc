// The interface manager's functions.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch.h"
#include "netif.h"

using sim::Mac;
using sim::PeerBackend;
using sim::PeerFn;
using sim::detail::flag_call;
using sim::detail::out_call;
using sim::detail::status_call;
using sim::detail::value_call;
namespace status = sim::status;

namespace {

// netif_get_if_name's answer, valid until the thread's next call.
thread_local std::string name_buffer;

const char *if_name(uint32_t iod) noexcept {
    sim::detail::count_call(PeerFn::netif_get_if_name);
    if (sim::detail::take_fault(PeerFn::netif_get_if_name))
        return nullptr;
    try {
        auto reply = sim::active_backend().netif_get_if_name(iod);
        if (!reply.ok())
            return nullptr;
        name_buffer = std::move(reply.value);
        return name_buffer.c_str();
    } catch (...) {
        return nullptr;
    }
}

uint32_t copy_name(const std::string &name, char *buf, uint32_t size) {
    if (name.size() >= size)
        return status::bad_argument;
    std::memcpy(buf, name.c_str(), name.size() + 1);
    return status::ok;
}

} // namespace

extern "C" {

uint32_t netif_is_switchport(uint32_t iod) {
    return flag_call(PeerFn::netif_is_switchport, iod, &PeerBackend::netif_is_switchport);
}
uint32_t netif_is_linkup(uint32_t iod) {
    return flag_call(PeerFn::netif_is_linkup, iod, &PeerBackend::netif_is_linkup);
}
uint32_t netif_is_protoup(uint32_t iod) {
    return flag_call(PeerFn::netif_is_protoup, iod, &PeerBackend::netif_is_protoup);
}
uint32_t netif_is_ethernet(uint32_t iod) {
    return flag_call(PeerFn::netif_is_ethernet, iod, &PeerBackend::netif_is_ethernet);
}
uint32_t netif_is_vlan(uint32_t iod) {
    return flag_call(PeerFn::netif_is_vlan, iod, &PeerBackend::netif_is_vlan);
}
uint32_t netif_is_loopback(uint32_t iod) {
    return flag_call(PeerFn::netif_is_loopback, iod, &PeerBackend::netif_is_loopback);
}
uint32_t netif_is_native_p2p(uint32_t iod) {
    return flag_call(PeerFn::netif_is_native_p2p, iod, &PeerBackend::netif_is_native_p2p);
}
uint32_t netif_is_null0(uint32_t iod) {
    return flag_call(PeerFn::netif_is_null0, iod, &PeerBackend::netif_is_null0);
}
uint32_t netif_is_switching_enabled_on_iod(uint32_t iod) {
    return flag_call(PeerFn::netif_is_switching_enabled_on_iod, iod,
                     &PeerBackend::netif_is_switching_enabled_on_iod);
}
uint32_t netif_is_mgmtether(uint32_t iod) {
    return flag_call(PeerFn::netif_is_mgmtether, iod, &PeerBackend::netif_is_mgmtether);
}
uint32_t netif_is_super_802_3ad(uint32_t iod) {
    return flag_call(PeerFn::netif_is_super_802_3ad, iod, &PeerBackend::netif_is_super_802_3ad);
}
uint32_t netif_is_gre_tunnel(uint32_t iod) {
    return flag_call(PeerFn::netif_is_gre_tunnel, iod, &PeerBackend::netif_is_gre_tunnel);
}
uint32_t netif_is_stretch_tunnel(uint32_t iod) {
    return flag_call(PeerFn::netif_is_stretch_tunnel, iod, &PeerBackend::netif_is_stretch_tunnel);
}
uint32_t netif_is_mpls_tunnel(uint32_t iod) {
    return flag_call(PeerFn::netif_is_mpls_tunnel, iod, &PeerBackend::netif_is_mpls_tunnel);
}
uint32_t netif_is_6to4_tunnel(uint32_t iod) {
    return flag_call(PeerFn::netif_is_6to4_tunnel, iod, &PeerBackend::netif_is_6to4_tunnel);
}

uint32_t netif_get_if_mtu(uint32_t iod) {
    return value_call<uint32_t>(PeerFn::netif_get_if_mtu,
                                [&](PeerBackend &b) { return b.netif_get_if_mtu(iod); });
}
uint32_t netif_get_if_encaptype(uint32_t iod) {
    return value_call<uint32_t>(PeerFn::netif_get_if_encaptype,
                                [&](PeerBackend &b) { return b.netif_get_if_encaptype(iod); });
}
uint32_t netif_get_if_vlanid(uint32_t iod) {
    return value_call<uint32_t>(PeerFn::netif_get_if_vlanid,
                                [&](PeerBackend &b) { return b.netif_get_if_vlanid(iod); });
}
uint32_t netif_get_sub_interface_parent(uint32_t iod) {
    return value_call<uint32_t>(PeerFn::netif_get_sub_interface_parent, [&](PeerBackend &b) {
        return b.netif_get_sub_interface_parent(iod);
    });
}

uint32_t netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info, uint32_t *word) {
    return value_call<uint32_t>(PeerFn::netif_get_vlan_info, [&](PeerBackend &b) -> uint32_t {
        if (!info || !word)
            return 0;
        auto reply = b.netif_get_vlan_info(iod);
        if (!reply.ok())
            return 0;
        info->slice = reply.value.slice;
        info->vlan = reply.value.vlan;
        *word = reply.value.mode;
        return 1;
    });
}

uint32_t netif_get_if_src_mac_addr(uint32_t iod, uint8_t *mac) {
    return status_call(PeerFn::netif_get_if_src_mac_addr, [&](PeerBackend &b) -> uint32_t {
        if (!mac)
            return status::bad_argument;
        auto reply = b.netif_get_if_src_mac_addr(iod);
        if (reply.ok())
            std::memcpy(mac, reply.value.data(), reply.value.size());
        return reply.status;
    });
}

uint32_t netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac) {
    return value_call<uint32_t>(PeerFn::netif_is_if_mac_addr, [&](PeerBackend &b) -> uint32_t {
        if (!mac)
            return 0;
        Mac wanted;
        std::memcpy(wanted.data(), mac, wanted.size());
        return b.netif_is_if_mac_addr(iod, wanted) ? 1 : 0;
    });
}

// NULL for an unknown iod.
const char *netif_get_if_name(uint32_t iod) { return if_name(iod); }

// `size` is written (0 when there is no data) unless a fault answers.
uint32_t netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size) {
    return value_call<uint32_t>(PeerFn::netif_get_private_data, [&](PeerBackend &b) {
        const sim::PrivateData data = b.netif_get_private_data(iod, key);
        if (size)
            *size = data.size;
        return data.value;
    });
}

uint32_t netif_get_extension(uint32_t iod, uint32_t key) {
    return value_call<uint32_t>(PeerFn::netif_get_extension,
                                [&](PeerBackend &b) { return b.netif_get_extension(iod, key); });
}

uint32_t netif_is_extension_set(uint32_t iod, uint32_t key) {
    return value_call<uint32_t>(PeerFn::netif_is_extension_set, [&](PeerBackend &b) {
        return b.netif_is_extension_set(iod, key) ? 1u : 0u;
    });
}

uint32_t netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod) {
    return out_call(PeerFn::netif_get_iod_frm_ifindex, iod,
                    [&](PeerBackend &b) { return b.netif_get_iod_frm_ifindex(if_index); });
}

uint32_t netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index) {
    return out_call(PeerFn::netif_get_ifindex_frm_iod, if_index,
                    [&](PeerBackend &b) { return b.netif_get_ifindex_frm_iod(iod); });
}

// A buffer too short for the whole name fails rather than truncating it.
uint32_t netif_get_ifindex_name(uint32_t if_index, char *buf, uint32_t size) {
    return status_call(PeerFn::netif_get_ifindex_name, [&](PeerBackend &b) -> uint32_t {
        if (!buf)
            return status::bad_argument;
        auto reply = b.netif_get_ifindex_name(if_index);
        return reply.ok() ? copy_name(reply.value, buf, size) : reply.status;
    });
}

uint32_t netif_get_ifindex_port_mode_list(netif_port_mode_req_t *req, uint32_t count) {
    return status_call(PeerFn::netif_get_ifindex_port_mode_list, [&](PeerBackend &b) -> uint32_t {
        if (!req && count != 0)
            return status::bad_argument;
        std::vector<uint32_t> ifindexes(count);
        for (uint32_t i = 0; i < count; ++i)
            ifindexes[i] = req[i].if_index;
        auto reply = b.netif_get_ifindex_port_mode_list(ifindexes);
        if (!reply.ok())
            return reply.status;
        if (reply.value.size() != count)
            return status::internal;
        for (uint32_t i = 0; i < count; ++i)
            req[i].port_mode = reply.value[i];
        return status::ok;
    });
}

} // extern "C"
