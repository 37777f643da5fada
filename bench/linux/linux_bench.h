// SPDX-License-Identifier: MIT
// The Linux host benchmarks, registered one veth set at a time so that
// each set is built once and every contender runs on it.  Per set, in this
// order: the steady-state rows (queries, dispatch, staleness), then the
// recovery from lost notifications, then the start rows, which close the
// contenders the others share.
#pragma once

#include <cstdint>

namespace lbench {

void register_size(uint32_t pairs);
void register_recovery(uint32_t pairs);
void register_start(uint32_t pairs);

} // namespace lbench
