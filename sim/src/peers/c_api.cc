// SPDX-License-Identifier: MIT
#include "sim/sim_c.h"

#include "sim/leaf.h"
#include "sim/model_backend.h"

extern "C" uint32_t sim_load_leaf_switch(void) {
    try {
        sim::default_switch() = sim::build_leaf_switch();
        sim::set_active_backend(nullptr);
        return static_cast<uint32_t>(sim::default_switch().interfaces().size());
    } catch (...) {
        return 0;
    }
}
