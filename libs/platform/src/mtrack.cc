// SPDX-License-Identifier: MIT
// Memory tracker.  Each block starts with a header naming its (id, type)
// pair and size, so mtrack_free can settle the counts without a lookup
// table of live blocks.
#include "mtrack.h"

#include <cstddef>
#include <cstdlib>

namespace {

constexpr size_t kBlockAlign = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;

// Padded to the block alignment so the user area keeps malloc's alignment.
struct alignas(kBlockAlign) BlockHeader {
    uint32_t id;
    uint32_t type;
    uint32_t size;
};
static_assert(sizeof(BlockHeader) % kBlockAlign == 0, "user area stays aligned");

struct Component {
    bool used;
    uint32_t id;
    const char *name;
    const char *type_names[MTRACK_MAX_TYPES];
    uint32_t num_types;
    mtrack_usage_t usage[MTRACK_MAX_TYPES];
};

// Slots are claimed by the first mtrack_init or mtrack_alloc of an id and
// never given back, so a block's header always resolves to the record its
// allocation was counted in.
Component components[MTRACK_MAX_IDS];
mtrack_usage_t overflow;
uint32_t pending_failures;

Component *find_component(uint32_t id) {
    for (Component &c : components)
        if (c.used && c.id == id)
            return &c;
    return nullptr;
}

Component *claim_component(uint32_t id) {
    if (Component *known = find_component(id))
        return known;
    for (Component &c : components)
        if (!c.used) {
            c.used = true;
            c.id = id;
            return &c;
        }
    return nullptr;
}

mtrack_usage_t *usage_of(uint32_t id, uint32_t type) {
    Component *c = claim_component(id);
    return c && type < MTRACK_MAX_TYPES ? &c->usage[type] : &overflow;
}

bool take_failure() {
    if (pending_failures == 0)
        return false;
    --pending_failures;
    return true;
}

void count_alloc(mtrack_usage_t *u, uint32_t size) {
    ++u->allocs;
    ++u->live_blocks;
    u->live_bytes += size;
    if (u->live_blocks > u->peak_blocks)
        u->peak_blocks = u->live_blocks;
    if (u->live_bytes > u->peak_bytes)
        u->peak_bytes = u->live_bytes;
}

} // namespace

extern "C" {

uint32_t mtrack_init(const char *name, uint32_t id, const char *const *type_names,
                     uint32_t num_types) {
    if (num_types > MTRACK_MAX_TYPES || (num_types && !type_names))
        return 0;
    Component *c = claim_component(id);
    if (!c)
        return 0;
    c->name = name;
    for (uint32_t t = 0; t < num_types; ++t)
        c->type_names[t] = type_names[t];
    c->num_types = num_types;
    return 1;
}

void *mtrack_alloc(uint32_t id, uint32_t type, uint32_t size) {
    mtrack_usage_t *u = usage_of(id, type);
    // The header can push a 32-bit size past a 32-bit size_t.
    size_t total = sizeof(BlockHeader) + size;
    void *raw = take_failure() || total < size ? nullptr : malloc(total);
    if (!raw) {
        ++u->failed_allocs;
        return nullptr;
    }
    auto *header = static_cast<BlockHeader *>(raw);
    header->id = id;
    header->type = type;
    header->size = size;
    count_alloc(u, size);
    return header + 1;
}

void mtrack_free(void *block) {
    if (!block)
        return;
    BlockHeader *header = static_cast<BlockHeader *>(block) - 1;
    mtrack_usage_t *u = usage_of(header->id, header->type);
    ++u->frees;
    --u->live_blocks;
    u->live_bytes -= header->size;
    free(header);
}

void mtrack_get_usage(uint32_t id, uint32_t type, mtrack_usage_t *usage) {
    if (!usage)
        return;
    const Component *c = find_component(id);
    *usage = c && type < MTRACK_MAX_TYPES ? c->usage[type] : mtrack_usage_t{};
}

void mtrack_get_overflow_usage(mtrack_usage_t *usage) {
    if (usage)
        *usage = overflow;
}

const char *mtrack_component_name(uint32_t id) {
    const Component *c = find_component(id);
    return c ? c->name : nullptr;
}

const char *mtrack_type_name(uint32_t id, uint32_t type) {
    const Component *c = find_component(id);
    return c && type < c->num_types ? c->type_names[type] : nullptr;
}

void mtrack_fail_next(uint32_t count) { pending_failures = count; }

} // extern "C"
