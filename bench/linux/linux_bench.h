// The Linux host benchmarks, registered one veth set at a time so that
// each set is built once and every contender runs on it.
#pragma once

#include <cstdint>

namespace lbench {

void register_size(uint32_t pairs);

} // namespace lbench
