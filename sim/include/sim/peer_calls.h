// SPDX-License-Identifier: MIT
// Call counters and fault injection of the extern "C" peer functions.  Each
// call is counted, then answered by an armed fault if there is one, else by
// the active backend.  Safe to use from any thread.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/peer_fn.h"

namespace sim {

uint64_t call_count(PeerFn fn);
uint64_t total_calls();
void reset_call_counts();

enum class FaultKind {
    status, // a status function returns `result` (0 too) and leaves its outputs untouched
    value,  // a value function returns `result` without consulting the backend
};

struct Fault {
    FaultKind kind = FaultKind::status;
    uint32_t result = 0;
    std::optional<uint32_t> calls; // the next N calls; none = until cleared
};

// Arms `fault` on `fn`, replacing the one armed there.  Throws
// std::invalid_argument when it cannot describe a failure of `fn`: a kind
// that is not the function's, a count of 0, or for the name
// function any value but 0 (its failure is NULL).
void inject_fault(PeerFn fn, const Fault &fault);
void clear_fault(PeerFn fn);
void clear_faults();

} // namespace sim
