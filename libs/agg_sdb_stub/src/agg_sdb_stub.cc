// SPDX-License-Identifier: MIT
// The stub's answer: no port-channel database here.  The caller's record is
// left as it was, like every failed peer call.
#include "agg_sdb_stub.h"

extern "C" uint32_t agg_get_pc_info(agg_pc_info_t *) { return AGG_SDB_STUB_NO_DATABASE; }
