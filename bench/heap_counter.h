// SPDX-License-Identifier: MIT
// Heap allocations of the whole process (malloc, calloc, realloc, and so
// every operator new), counted by the benchmark program's own allocation
// functions in front of the C library's.
#pragma once

#include <cstdint>

namespace bench {

uint64_t heap_allocations();

} // namespace bench
