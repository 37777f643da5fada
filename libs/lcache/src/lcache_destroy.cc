// SPDX-License-Identifier: MIT
// Tearing an entry down: out of the lif, pi and iod tables first, so that
// leaving the if table last releases it.
#include "lcache_destroy.h"
#include "lcache_tables.h"
#include "lcache_watch.h"

namespace lc {

namespace {

// Takes the entry out of a keyed table that is kept and holds it.  Only
// membership counts: an interface manager may have given a key that reads
// as "none" (iod 0), and the entry is then held under it like under any
// other key.
void leave_keyed_table(const TableDesc &t, lcache_if_entry_t *entry) {
    if ((lcache.attr.sync_mask & t.sync_bit) && holds(t, *entry))
        delete_keyed_entry(t, entry);
}

uint32_t destroy_found(const char *op, lcache_if_entry_t *entry) {
    if (!entry || refused_in_callback(op))
        return 0;
    destroy_entry(entry);
    return 1;
}

} // namespace

void destroy_entry(lcache_if_entry_t *entry) {
    if (!lcache_enabled || !entry || refused_in_callback("lcache_if_destroy_entry"))
        return;
    const ChangeScope op;
    LC_TRACE("If-destroy for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n", entry->if_index,
             entry->iod, entry->pi, entry->lif);
    leave_keyed_table(kLifTable, entry);
    leave_keyed_table(kPiTable, entry);
    leave_keyed_table(kIodTable, entry);
    if (holds(kIfTable, *entry))
        delete_if_entry(entry);
    ++lcache.stats.if_destroys;
}

// The removals by if, pi and lif leave the enabled check to the teardown.
uint32_t remove_entry_by_if(uint32_t if_index) {
    return destroy_found("lcache_if_remove_entry_by_if", lookup(kIfTable, if_index));
}

uint32_t remove_entry_by_iod(uint32_t iod) {
    if (!lcache_enabled)
        return 0;
    lcache_if_entry_t *entry = lookup(kIodTable, iod);
    if (!entry) {
        LC_TRACE("Lcache remove failed for Interface with iod %d\n", iod);
        return 0;
    }
    return destroy_found("lcache_if_remove_entry_by_iod", entry);
}

} // namespace lc

extern "C" {

void lcache_if_destroy_entry(lcache_if_entry_t *entry) { lc::destroy_entry(entry); }

uint32_t lcache_if_remove_entry_by_if(uint32_t if_index) {
    return lc::remove_entry_by_if(if_index);
}

uint32_t lcache_if_remove_entry_by_iod(uint32_t iod) { return lc::remove_entry_by_iod(iod); }

uint32_t lcache_if_remove_entry_by_pi(uint32_t pi) {
    return lc::destroy_found("lcache_if_remove_entry_by_pi", lc::lookup(lc::kPiTable, pi));
}

uint32_t lcache_if_remove_entry_by_lif(uint32_t lif) {
    return lc::destroy_found("lcache_if_remove_entry_by_lif", lc::lookup(lc::kLifTable, lif));
}
}
