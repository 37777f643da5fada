#pragma once

#include <cstdint>

#include "sim/leaf.h"

namespace lcsim {

struct RunOptions {
    sim::LeafOptions leaf;
    uint64_t queries = 200000;
    uint64_t seed = 1;
};

// Runs the workload and prints the report; the process's exit status.
int run(const RunOptions &options);

} // namespace lcsim
