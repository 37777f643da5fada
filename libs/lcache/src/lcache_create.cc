// SPDX-License-Identifier: MIT
// Finding an interface entry by any of its four keys, and creating it on a
// miss: allocate, join the if table, join the iod table (evicting a stale
// holder of the iod), then let the refresh fill every kept attribute.
#include <cerrno>
#include <cstdio>

#include "dmap.h"
#include "if_index.h"
#include "lcache_attrs.h"
#include "lcache_create.h"
#include "lcache_destroy.h"
#include "lcache_entry.h"
#include "lcache_key_attrs.h"
#include "lcache_refresh.h"
#include "lcache_tables.h"
#include "lifsvc.h"
#include "platform_util.h"

namespace lc {

namespace {

constexpr const char *kCreateOp = "lcache_if_create_entry_by_if";

// Puts a new entry under `iod`.  Another entry still holding the iod is
// stale (its interface went away without a notification) and is torn down.
bool join_iod_table(lcache_if_entry_t *entry, uint32_t iod) {
    entry->iod = iod;
    if (lcache_if_entry_t *stale = lookup(kIodTable, iod)) {
        LC_ERROR_AS(kCreateOp,
                    "If-create for if-index 0x%x, iod %d exists - deleting existing one (0x%x), "
                    "PI 0x%x/LIF 0x%x\n",
                    entry->if_index, iod, stale->if_index, stale->pi, stale->lif);
        syslog_backtrace(kCreateOp, 7);
        remove_entry_by_iod(iod);
    }
    // A stale holder whose delete failed still holds the iod: inserting
    // a second entry under it would break the table, so this fails too.
    if (lookup(kIodTable, iod) || !insert_entry(kIodTable, entry)) {
        entry->iod = LCACHE_NO_IOD;
        LC_ERROR_AS(kCreateOp, "Iod-create for if-index 0x%x, iod %d failed\n", entry->if_index,
                    iod);
        destroy_entry(entry);
        return false;
    }
    settle_key(*entry, kIodKey);
    return true;
}

lcache_if_entry_t *report_alloc_failure(uint32_t if_index, uint32_t iod) {
    printf("Warning! Malloc Failure in %s[%d] for size %d\n", __FILE__, __LINE__,
           static_cast<int>(sizeof(lcache_if_entry_t)));
    LC_TRACE("%s: Malloc failure\n", kCreateOp);
    errno = ENOMEM;
    LC_TRACE("If-create for if-index 0x%x, iod %d failed\n", if_index, iod);
    ++lcache.stats.if_create_fails;
    return nullptr;
}

} // namespace

lcache_if_entry_t *create_entry(uint32_t if_index, uint32_t iod, uint32_t pi, uint32_t lif) {
    if (!lcache_enabled)
        return nullptr;
    const ChangeScope op;
    uint8_t type = 0;
    if (if_index_get_type(if_index, &type) != 0) {
        LC_ERROR_AS(kCreateOp, " Invalid interface index 0x%x\n", if_index);
        return nullptr;
    }
    if (lcache_if_entry_t *entry = lookup(kIfTable, if_index))
        return entry;
    // A creation that fails tears its entry down, and one that meets a
    // stale holder of its iod removes it: neither may happen under a
    // callback, so a callback creates nothing.
    if (refused_in_callback(kCreateOp))
        return nullptr;
    if (iod == LCACHE_NO_IOD) {
        uint32_t status = netif_get_iod_frm_ifindex(if_index, &iod);
        if (status != 0) {
            LC_ERROR_AS(kCreateOp,
                        "netif_get_iod_frm_ifindex failed for if-index 0x%x, err: 0x%x\n", if_index,
                        status);
            return nullptr;
        }
    }
    LC_TRACE("If-create for if-index 0x%x, iod %d, pi 0x%x, lif 0x%x\n", if_index, iod, pi, lif);

    lcache_if_entry_t *entry = alloc_entry();
    if (!entry)
        return report_alloc_failure(if_index, iod);
    ++lcache.stats.if_allocs;
    entry->dirty = lcache.attr.sync_mask & ~LCACHE_ATTR_IF_INDEX;
    entry->if_index = if_index;
    entry->pi = LCACHE_NO_PI;
    entry->lif = LCACHE_NO_LIF;
    // Known before the refresh runs, but not vouched for: its bit stays.
    store(*entry, kMtu, kMtu.peer(iod));
    if (!insert_entry(kIfTable, entry)) {
        ++lcache.stats.if_frees;
        release_entry(entry, kFillInsertFail);
        LC_ERROR_AS(kCreateOp, "If-create for if-index 0x%x, iod %d failed\n", if_index, iod);
        return nullptr;
    }
    store_fresh(*entry, kIfType, type);
    if ((entry->dirty & LCACHE_ATTR_IOD) && !join_iod_table(entry, iod))
        return nullptr;
    if (!refresh_entry(entry, 1)) {
        destroy_entry(entry);
        return nullptr;
    }
    return entry;
}

lcache_if_entry_t *create_missing_by_iod(uint32_t iod) {
    uint32_t if_index = 0;
    if (netif_get_ifindex_frm_iod(iod, &if_index) != 0)
        return nullptr;
    return create_entry(if_index, iod, LCACHE_NO_PI, LCACHE_NO_LIF);
}

lcache_if_entry_t *find_entry_by_if(uint32_t if_index) {
    return lcache.attr.create_on_miss
               ? create_entry(if_index, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF)
               : lookup(kIfTable, if_index);
}

namespace {

// The entry held under `key` in the pi or lif table, else one created with
// that key for the ifindex `to_if_index` names.  The translation is asked
// before create_on_miss is looked at.
lcache_if_entry_t *create_entry_by_key(const TableDesc &t, uint32_t key,
                                       uint32_t (*to_if_index)(uint32_t key, uint32_t *if_index)) {
    if (lcache_if_entry_t *entry = lookup(t, key))
        return entry;
    uint32_t if_index = 0;
    if (to_if_index(key, &if_index) != 0 || !lcache.attr.create_on_miss)
        return nullptr;
    const bool by_pi = &t == &kPiTable;
    return create_entry(if_index, LCACHE_NO_IOD, by_pi ? key : LCACHE_NO_PI,
                        by_pi ? LCACHE_NO_LIF : key);
}

} // namespace

lcache_if_entry_t *create_entry_by_pi(uint32_t pi) {
    return create_entry_by_key(kPiTable, pi, dmap_lib_si_to_ifidx);
}

lcache_if_entry_t *create_entry_by_lif(uint32_t lif) {
    return create_entry_by_key(kLifTable, lif, lifsvc_query_lif_to_ifindex);
}

} // namespace lc

extern "C" {

lcache_if_entry_t *lcache_if_create_entry_by_if(uint32_t if_index, uint32_t iod, uint32_t pi,
                                                uint32_t lif) {
    return lc::create_entry(if_index, iod, pi, lif);
}

lcache_if_entry_t *lcache_if_create_entry_by_iod(uint32_t iod) {
    return lc::create_entry_by_iod(iod);
}

lcache_if_entry_t *lcache_find_entry_by_iod(uint32_t iod) { return lc::find_entry_by_iod(iod); }

lcache_if_entry_t *lcache_if_create_entry_by_pi(uint32_t pi) { return lc::create_entry_by_pi(pi); }

lcache_if_entry_t *lcache_if_create_entry_by_lif(uint32_t lif) {
    return lc::create_entry_by_lif(lif);
}
}
