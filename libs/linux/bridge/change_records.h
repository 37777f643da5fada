// The cache's change records for what one link notification says.
#pragma once

#include <cstdint>

#include "lcache.h"
#include "link_info.h"

namespace lcache_linux {

// State codes the cache leaves open: any L2 state but LCACHE_L2_NO_VLAN
// says the VLAN fields are meant, and any L3 state but LCACHE_L3_UP is down.
inline constexpr uint8_t kL2Vlan = 1;
inline constexpr uint8_t kL3Down = 2;

lcache_l2_msg_t l2_record(const LinkInfo &link);
lcache_l3_msg_t l3_record(const LinkInfo &link);
// The fop record of port-channel `if_index`: every field big-endian.
lcache_agg_fop_msg_t fop_record(uint32_t if_index, uint32_t old_fop, uint32_t new_fop);

} // namespace lcache_linux
