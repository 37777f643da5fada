// SPDX-License-Identifier: MIT
// What the operations of one fuzz input share: the input, the simulated
// switch answering the peer calls, and what the harness must remember to
// judge the invariants after each operation.
#pragma once

#include <cstdint>
#include <span>

#include "fuzz_input.h"
#include "lcache.h"
#include "sim/notifier.h"
#include "sim/switch.h"
#include "watch_state.h"

namespace lcfuzz {

struct State {
    Input in;
    sim::Switch &model;
    sim::Notifier notifier{model};
    // lcinv::kTableBits of the tables an operation was entitled to create.
    uint32_t creatable = 0;
    // A hash-table remove fault was armed: a teardown whose delete fails
    // goes on by design and may leave its entry allocated outside the if
    // table.
    bool removes_may_fail = false;
    Watches watches{};

    // Keys, each drawn from the model, from the cache, or from the input
    // (unknown to both).
    uint32_t ifindex();
    uint32_t iod();
    uint32_t pi();
    uint32_t lif();
    uint16_t vlan();
    // A model interface, or nullptr when the model has none.
    const sim::Interface *interface();
    // An entry of the if table or of the VLAN table, or nullptr.
    lcache_if_entry_t *entry();
    lcache_vlan_entry_t *vlan_entry();
    // An owner key of private data: one of the attribute block's, or any.
    uint32_t owner_key();
};

using Op = void (*)(State &);
struct OpDesc {
    const char *name;
    Op run;
};

// The operation groups, one per file.
std::span<const OpDesc> lifecycle_ops();
std::span<const OpDesc> entry_ops();
std::span<const OpDesc> query_ops();
std::span<const OpDesc> notify_ops();
std::span<const OpDesc> model_ops();
std::span<const OpDesc> fault_ops();
std::span<const OpDesc> vlan_diag_ops();
std::span<const OpDesc> watch_ops();

// The trace sinks and extension callbacks an attribute block may name.
lcache_print_fn pick_print(State &s);
lcache_printf_fn pick_printf(State &s);
lcache_ext_fn pick_ext_fn(State &s);

} // namespace lcfuzz
