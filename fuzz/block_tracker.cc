// SPDX-License-Identifier: MIT
#include "block_tracker.h"

#include <dlfcn.h>

#include "lcache.h"
#include "mtrack.h"

namespace lcfuzz {

namespace {

std::set<const void *> &blocks() {
    static std::set<const void *> live;
    return live;
}

template <class Fn> Fn tracker_fn(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

const std::set<const void *> &live_entry_blocks() { return blocks(); }

} // namespace lcfuzz

extern "C" {

void *mtrack_alloc(uint32_t id, uint32_t type, uint32_t size) {
    static const auto alloc =
        lcfuzz::tracker_fn<void *(*)(uint32_t, uint32_t, uint32_t)>("mtrack_alloc");
    void *block = alloc(id, type, size);
    if (block && id == LCACHE_MTRACK_ID && type == LCACHE_MEM_lcache_if_entry_t)
        lcfuzz::blocks().insert(block);
    return block;
}

void mtrack_free(void *block) {
    static const auto release = lcfuzz::tracker_fn<void (*)(void *)>("mtrack_free");
    lcfuzz::blocks().erase(block);
    release(block);
}
}
