/* SPDX-License-Identifier: MIT */
/*
 * Event-history log: a bounded ring of binary records per identifier,
 * kept in memory so the last events of a component survive for post-mortem
 * inspection.  The oldest record is overwritten when a ring is full.
 *
 * Not thread-safe.
 */
#ifndef HISTSVC_H
#define HISTSVC_H

#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

enum {
    HISTSVC_RING_RECORDS = 1024, /* records kept per identifier */
    HISTSVC_MAX_IDS = 32,        /* identifiers with a ring of their own */
    HISTSVC_MAX_RECORD = 256     /* bytes kept of one record */
};

/* Appends `len` bytes at `record` (cut to HISTSVC_MAX_RECORD) to the ring of
 * `uuid`.  `inst` and `flags` are stored with the record.  Returns nonzero
 * when stored; 0 when no ring can be had for a new identifier. */
PLATFORM_API uint32_t histsvc_his_log_event_for_uuid_inst(uint32_t uuid, uint32_t inst,
                                                          uint32_t level, uint32_t flags,
                                                          uint32_t len, const void *record);

typedef struct histsvc_record {
    uint32_t inst;
    uint32_t level;
    uint32_t flags;
    uint32_t len; /* the length given when logged */
    uint8_t data[HISTSVC_MAX_RECORD];
} histsvc_record_t;

/* Records held for `uuid` (at most HISTSVC_RING_RECORDS). */
PLATFORM_API uint32_t histsvc_count(uint32_t uuid);
/* Total records ever logged for `uuid`, including overwritten ones. */
PLATFORM_API uint64_t histsvc_total(uint32_t uuid);
/* Copies record `index` (0 = oldest held) of `uuid`; nonzero when it exists. */
PLATFORM_API uint32_t histsvc_get(uint32_t uuid, uint32_t index, histsvc_record_t *out);
/* Forgets every record of `uuid`. */
PLATFORM_API void histsvc_clear(uint32_t uuid);

PLATFORM_END_DECLS

#endif
