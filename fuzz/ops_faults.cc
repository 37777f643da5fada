// SPDX-License-Identifier: MIT
// Failure injection: peer functions, the memory tracker, the hash tables.
#include "fuzz_state.h"
#include "ht.h"
#include "mtrack.h"
#include "sim/peer_calls.h"
#include "sim/status.h"

namespace lcfuzz {

namespace {

// 99 (an absent peer), a status of the simulation, zero, or anything.
uint32_t result(State &s) {
    switch (s.in.below(4)) {
    case 0: return 99;
    case 1: return sim::status::no_interface + s.in.below(8);
    case 2: return 0;
    default: return s.in.u32();
    }
}

// Any function, any status or value, for some calls or until cleared.  A
// status of 0 is a success that writes no output (an interface manager
// answering iod 0, say).  A fault the simulation cannot describe (a name
// other than NULL, the wrong kind) is refused and the operation skipped.
void peer_fault(State &s) {
    const auto fn = static_cast<sim::PeerFn>(s.in.below(sim::kPeerFnCount));
    sim::Fault fault;
    const bool status_fn = sim::peer_fn_kind(fn) == sim::PeerFnKind::status;
    fault.kind =
        status_fn == (s.in.below(16) != 0) ? sim::FaultKind::status : sim::FaultKind::value;
    fault.result = result(s);
    if (const uint32_t calls = s.in.below(8))
        fault.calls = calls;
    sim::inject_fault(fn, fault);
}

void clear_peer_faults(State &s) {
    if (s.in.flag())
        sim::clear_faults();
    else
        sim::clear_fault(static_cast<sim::PeerFn>(s.in.below(sim::kPeerFnCount)));
}

void memory_fault(State &s) { mtrack_fail_next(s.in.below(4)); }

void table_fault(State &s) {
    const auto op = static_cast<ht_fault_op_t>(s.in.below(HT_FAULT_OP_COUNT));
    const uint32_t count = s.in.below(4);
    if (op == HT_FAULT_REMOVE && count)
        s.removes_may_fail = true;
    if (s.in.flag())
        ht_fault_inject(op, count);
    else
        ht_fault_inject_after(op, s.in.below(8), count);
}

constexpr OpDesc kOps[] = {
    {"peer_fault", peer_fault},
    {"clear_peer_faults", clear_peer_faults},
    {"memory_fault", memory_fault},
    {"table_fault", table_fault},
};

} // namespace

std::span<const OpDesc> fault_ops() { return kOps; }

} // namespace lcfuzz
