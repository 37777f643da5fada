// SPDX-License-Identifier: MIT
#include "queries.h"

namespace lcsim {

uint16_t kept_vlan(const sim::Interface &itf) {
    if (itf.is_vlan)
        return itf.vlan_id;
    if (itf.switchport && itf.vlan_info.valid)
        return static_cast<uint16_t>(itf.vlan_info.vlan);
    return 0;
}

Target target_of(const sim::Interface &itf, uint16_t slice) {
    Target t;
    t.iod = itf.iod;
    t.ifindex = itf.ifindex;
    t.pi = itf.pi;
    t.lif = itf.lif;
    t.vlan = kept_vlan(itf);
    t.slice = slice;
    t.mac = itf.mac;
    return t;
}

} // namespace lcsim
