// SPDX-License-Identifier: MIT
// The peer functions of libsim: those of the list (sim/peer_fn.h) with a
// plain value or one output, and below them those that translate records
// and buffers.  (The functions liblcache has fallbacks for live in
// libsim_peers.)
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "agg.h"
#include "dispatch.h"
#include "hostctl.h"
#include "if_index.h"
#include "netif.h"
#include "rtctx.h"

using sim::IfIndex;
using sim::Mac;
using sim::PeerBackend;
using sim::PeerFn;
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

#define SIM_IN_sim(entry) entry
#define SIM_IN_peers(entry)
SIM_PEER_FUNCTIONS(SIM_ENTRY_POINT)

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

// The record's fields are unaligned, hence the copies.
uint32_t agg_get_pc_info(agg_pc_info_t *info) {
    return status_call(PeerFn::agg_get_pc_info, [&](PeerBackend &b) -> uint32_t {
        if (!info)
            return status::bad_argument;
        uint32_t channel;
        std::memcpy(&channel, info->bytes + AGG_PC_INFO_IFINDEX_OFF, sizeof channel);
        auto reply = b.agg_get_pc_info(channel);
        if (!reply.ok())
            return reply.status;
        std::memcpy(info->bytes + AGG_PC_INFO_FOP_OFF, &reply.value.first_operational,
                    sizeof reply.value.first_operational);
        std::memcpy(info->bytes + AGG_PC_INFO_MEMBERS_OFF, &reply.value.members,
                    sizeof reply.value.members);
        return status::ok;
    });
}

uint32_t rtctx_if_get_table_id(uint32_t iod, uint32_t af, const char *name) {
    return value_call<uint32_t>(PeerFn::rtctx_if_get_table_id, [&](PeerBackend &b) {
        return b.rtctx_if_get_table_id(iod, af, name ? std::string_view(name) : "");
    });
}

uint16_t hostctl_slice_get(void) {
    return value_call<uint16_t>(PeerFn::hostctl_slice_get,
                                [](PeerBackend &b) { return b.hostctl_slice_get(); });
}

} // extern "C"
