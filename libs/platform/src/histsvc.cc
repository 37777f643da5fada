// SPDX-License-Identifier: MIT
// Event history.  A ring costs HISTSVC_RING_RECORDS full records, so one is
// allocated only when its identifier first logs, and given back on clear.
#include "histsvc.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kMaxRecord = HISTSVC_MAX_RECORD;

struct Ring {
    uint32_t uuid;
    uint32_t head;  // slot the next record goes to
    uint32_t count; // records held, oldest at head - count
    uint64_t total;
    histsvc_record_t records[HISTSVC_RING_RECORDS];
};

Ring *rings[HISTSVC_MAX_IDS];

Ring **slot_of(uint32_t uuid) {
    for (Ring *&ring : rings)
        if (ring && ring->uuid == uuid)
            return &ring;
    return nullptr;
}

Ring *find_ring(uint32_t uuid) {
    Ring **slot = slot_of(uuid);
    return slot ? *slot : nullptr;
}

Ring *open_ring(uint32_t uuid) {
    if (Ring *known = find_ring(uuid))
        return known;
    for (Ring *&ring : rings)
        if (!ring) {
            ring = static_cast<Ring *>(calloc(1, sizeof(Ring)));
            if (ring)
                ring->uuid = uuid;
            return ring;
        }
    return nullptr;
}

} // namespace

extern "C" {

uint32_t histsvc_his_log_event_for_uuid_inst(uint32_t uuid, uint32_t inst, uint32_t level,
                                             uint32_t flags, uint32_t len, const void *record) {
    if (len && !record)
        return 0;
    Ring *ring = open_ring(uuid);
    if (!ring)
        return 0;
    histsvc_record_t *r = &ring->records[ring->head];
    uint32_t kept = len < kMaxRecord ? len : kMaxRecord;
    r->inst = inst;
    r->level = level;
    r->flags = flags;
    r->len = len;
    if (kept)
        memcpy(r->data, record, kept);
    // A reused slot must not show the tail of the record it held before.
    memset(r->data + kept, 0, kMaxRecord - kept);
    ring->head = (ring->head + 1) % HISTSVC_RING_RECORDS;
    if (ring->count < HISTSVC_RING_RECORDS)
        ++ring->count;
    ++ring->total;
    return 1;
}

uint32_t histsvc_count(uint32_t uuid) {
    const Ring *ring = find_ring(uuid);
    return ring ? ring->count : 0;
}

uint64_t histsvc_total(uint32_t uuid) {
    const Ring *ring = find_ring(uuid);
    return ring ? ring->total : 0;
}

uint32_t histsvc_get(uint32_t uuid, uint32_t index, histsvc_record_t *out) {
    const Ring *ring = find_ring(uuid);
    if (!ring || !out || index >= ring->count)
        return 0;
    uint32_t oldest = (ring->head + HISTSVC_RING_RECORDS - ring->count) % HISTSVC_RING_RECORDS;
    *out = ring->records[(oldest + index) % HISTSVC_RING_RECORDS];
    return 1;
}

void histsvc_clear(uint32_t uuid) {
    if (Ring **slot = slot_of(uuid)) {
        free(*slot);
        *slot = nullptr;
    }
}

} // extern "C"
