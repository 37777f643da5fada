// SPDX-License-Identifier: MIT
#include "heap_counter.h"

#include <cstddef>
#include <cstdlib>

// The C library's own entry points: the definitions below sit in front of
// them for every object of the process, the shared libraries included.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
}

namespace {

// The benchmarks run on one thread.
uint64_t allocations;

} // namespace

extern "C" {

void *malloc(size_t size) noexcept {
    ++allocations;
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) noexcept {
    ++allocations;
    return __libc_calloc(count, size);
}

void *realloc(void *block, size_t size) noexcept {
    ++allocations;
    return __libc_realloc(block, size);
}
}

namespace bench {

uint64_t heap_allocations() { return allocations; }

} // namespace bench
