// Port-channel information, routing contexts, the slice and interface
// types.  (The other port-channel, index-mapper, LIF, VLAN and port-mode
// functions live in libsim_peers.)
#include <cstring>
#include <string_view>

#include "agg.h"
#include "dispatch.h"
#include "hostctl.h"
#include "if_index.h"
#include "rtctx.h"

using sim::PeerBackend;
using sim::PeerFn;
using sim::detail::out_call;
using sim::detail::status_call;
using sim::detail::value_call;
namespace status = sim::status;

extern "C" {

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

uint32_t rtctx_if_get_context_id(uint32_t iod) {
    return value_call<uint32_t>(PeerFn::rtctx_if_get_context_id,
                                [&](PeerBackend &b) { return b.rtctx_if_get_context_id(iod); });
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

uint32_t if_index_get_type(uint32_t if_index, uint8_t *type) {
    return out_call(PeerFn::if_index_get_type, type,
                    [&](PeerBackend &b) { return b.if_index_get_type(if_index); });
}

} // extern "C"
