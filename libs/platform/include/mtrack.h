/* SPDX-License-Identifier: MIT */
/*
 * Memory tracker: every block is allocated under a (component identifier,
 * memory type) pair, and the tracker keeps live and cumulative counts per
 * pair so leaks show up per component and per record type.
 *
 * Not thread-safe.
 */
#ifndef MTRACK_H
#define MTRACK_H

#include <stddef.h>
#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* Components with counts of their own, and types per component.  Blocks of
 * a component beyond MTRACK_MAX_IDS, or of a type at or beyond
 * MTRACK_MAX_TYPES, are still served; their counts go to one shared
 * overflow record (mtrack_get_overflow_usage) instead. */
enum { MTRACK_MAX_IDS = 8, MTRACK_MAX_TYPES = 16 };

/* Registers component `id` under `name` with `num_types` type names.  The
 * array is copied; the name strings themselves must stay valid.  Registering again replaces
 * the names and keeps the counts.  Returns nonzero on success; 0 when
 * num_types exceeds MTRACK_MAX_TYPES or every component slot is taken. */
PLATFORM_API uint32_t mtrack_init(const char *name, uint32_t id, const char *const *type_names,
                                  uint32_t num_types);

/* A block of `size` bytes (contents undefined), or NULL. */
PLATFORM_API void *mtrack_alloc(uint32_t id, uint32_t type, uint32_t size);

/* Returns a block from mtrack_alloc; NULL is ignored. */
PLATFORM_API void mtrack_free(void *block);

typedef struct mtrack_usage {
    uint64_t live_blocks;
    uint64_t live_bytes;
    uint64_t peak_blocks;
    uint64_t peak_bytes;
    uint64_t allocs;
    uint64_t frees;
    uint64_t failed_allocs;
} mtrack_usage_t;

/* Counts for one (id, type) pair; all zero for a pair never used or
 * counted in the overflow record. */
PLATFORM_API void mtrack_get_usage(uint32_t id, uint32_t type, mtrack_usage_t *usage);

/* Counts of every block that had no (id, type) slot of its own. */
PLATFORM_API void mtrack_get_overflow_usage(mtrack_usage_t *usage);

/* The registered component name and type name, or NULL. */
PLATFORM_API const char *mtrack_component_name(uint32_t id);
PLATFORM_API const char *mtrack_type_name(uint32_t id, uint32_t type);

/* Test hook: the next `count` allocations fail (return NULL). 0 disarms. */
PLATFORM_API void mtrack_fail_next(uint32_t count);

PLATFORM_END_DECLS

#endif
