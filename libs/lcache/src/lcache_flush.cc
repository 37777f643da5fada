// SPDX-License-Identifier: MIT
// Invalidation: a flush marks attributes dirty so the next use fetches
// them again; it never throws a value away.
#include "lcache_flush.h"
#include "lcache_create.h"
#include "lcache_refresh.h"
#include "lcache_tables.h"
#include "lcache_watch.h"

namespace lc {

namespace {

void flush_entry(lcache_if_entry_t *entry, uint32_t option) {
    if (!entry)
        return;
    LC_TRACE("Flushing cache for if-index=0x%x, iod=%d, opt=0x%x\n", entry->if_index, entry->iod,
             option);
    set_dirty(*entry, entry->dirty | flush_mask(option));
}

} // namespace

} // namespace lc

extern "C" {

void lcache_flush_if_entry(lcache_if_entry_t *entry, uint32_t option) {
    const lc::ChangeScope op;
    lc::flush_entry(entry, option);
}

void lcache_if_flush_if(uint32_t if_index, uint32_t option) {
    const lc::ChangeScope op;
    lc::flush_entry(lc::create_entry(if_index, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF), option);
}

void lcache_if_flush_iod(uint32_t iod, uint32_t option) {
    const lc::ChangeScope op;
    lc::flush_entry(lc::create_entry_by_iod(iod), option);
}

void lcache_if_flush_pi(uint32_t pi, uint32_t option) {
    const lc::ChangeScope op;
    lc::flush_entry(lc::create_entry_by_pi(pi), option);
}

void lcache_if_flush_lif(uint32_t lif, uint32_t option) {
    const lc::ChangeScope op;
    lc::flush_entry(lc::create_entry_by_lif(lif), option);
}

uint32_t lcache_if_flush_all(uint32_t option) {
    if (!lcache_enabled)
        return 0;
    const lc::ChangeScope op;
    return lc::flush_every(__func__, lcache.if_table, lc::flush_entry, option);
}

uint32_t lcache_if_update_if(uint32_t if_index) {
    if (!lcache_enabled)
        return 0;
    lcache_if_entry_t *entry = lc::lookup(lc::kIfTable, if_index);
    if (!entry)
        return 0;
    ++lcache.stats.upd_if;
    return static_cast<uint32_t>(lc::refresh_entry(entry, 0));
}
}
