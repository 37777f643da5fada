// The cache's change records for what one link notification says.
#pragma once

#include <cstdint>

#include "lcache.h"
#include "link_info.h"

namespace lcache_linux {

// State codes of the records, as the cache reads them.
inline constexpr uint8_t kL2NoVlan = 0;  // the VLAN fields carry nothing
inline constexpr uint8_t kL2Vlan = 1;    // vlan_a holds the interface's VLAN
inline constexpr uint8_t kL3Up = 1;      // link and protocol up
inline constexpr uint8_t kL3Down = 2;
inline constexpr uint8_t kL3BundleLinkOnly = 16; // a port-channel: link up, protocol down

lcache_l2_msg_t l2_record(const LinkInfo &link);
lcache_l3_msg_t l3_record(const LinkInfo &link);
// The fop record of port-channel `if_index`: every field big-endian.
lcache_agg_fop_msg_t fop_record(uint32_t if_index, uint32_t old_fop, uint32_t new_fop);

} // namespace lcache_linux
