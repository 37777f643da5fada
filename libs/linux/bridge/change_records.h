// SPDX-License-Identifier: MIT
// The cache's change records for what one link notification says, built by
// the records every sender shares (lcache_records.h).
#pragma once

#include "lcache_records.h"
#include "link_info.h"

namespace lcache_linux {

lcache_l2_msg_t l2_record(const LinkInfo &link);
lcache_l3_msg_t l3_record(const LinkInfo &link);

} // namespace lcache_linux
