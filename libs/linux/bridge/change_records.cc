#include "change_records.h"

#include <arpa/inet.h>

#include <cstring>

#include "numbering.h"

namespace lcache_linux {

lcache_l2_msg_t l2_record(const LinkInfo &link) {
    lcache_l2_msg_t msg{};
    msg.if_index = os_ifindex(link);
    msg.iod = link.index;
    memcpy(msg.mac, link.mac, sizeof msg.mac);
    msg.mtu = mtu16(link);
    if (classify(link) == IfType::vlan) {
        msg.state = kL2Vlan;
        msg.mode_flags = LCACHE_L2_VLAN_A;
        msg.vlan_a = link.vlan_id;
    } else {
        msg.state = LCACHE_L2_NO_VLAN;
    }
    return msg;
}

// A port-channel's record can say "link up, protocol down"; the others'
// cannot, and their interface manager is asked for both flags anyway.
lcache_l3_msg_t l3_record(const LinkInfo &link) {
    lcache_l3_msg_t msg{};
    msg.if_index = os_ifindex(link);
    msg.iod = link.index;
    msg.mtu = mtu16(link);
    if (is_protoup(link))
        msg.state = LCACHE_L3_UP;
    else if (is_linkup(link) && classify(link) == IfType::port_channel)
        msg.state = LCACHE_L3_BUNDLE_LINK_ONLY;
    else
        msg.state = kL3Down;
    return msg;
}

lcache_agg_fop_msg_t fop_record(uint32_t if_index, uint32_t old_fop, uint32_t new_fop) {
    lcache_agg_fop_msg_t msg{};
    msg.if_index = htonl(if_index);
    msg.old_fop = htonl(old_fop);
    msg.new_fop = htonl(new_fop);
    return msg;
}

} // namespace lcache_linux
