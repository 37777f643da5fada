// SPDX-License-Identifier: MIT
#include "change_records.h"

#include "numbering.h"

namespace lcache_linux {

using namespace lcache_records;

// Only a VLAN device carries a VLAN.
lcache_l2_msg_t l2_record(const LinkInfo &link) {
    const bool vlan = classify(link) == IfType::vlan;
    return lcache_records::l2_record(os_ifindex(link), link.index, vlan ? kL2Vlan : kL2NoVlan,
                                     link.mac, mtu16(link), VlanField::a, link.vlan_id);
}

// A port-channel's record can say "link up, protocol down"; the others'
// cannot, and their interface manager is asked for both flags anyway.
lcache_l3_msg_t l3_record(const LinkInfo &link) {
    return lcache_records::l3_record(
        os_ifindex(link), link.index,
        l3_code(is_linkup(link), is_protoup(link), classify(link) == IfType::port_channel),
        mtu16(link));
}

} // namespace lcache_linux
