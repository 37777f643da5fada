/* SPDX-License-Identifier: MIT */
/*
 * liblcache, second part: the global object, the entry layout, the index
 * tables and their callbacks, calls on one entry, and the printers.
 * Included by lcache.h, which a client includes instead.
 */
#ifndef LCACHE_OBJECT_H
#define LCACHE_OBJECT_H

#include "ht.h"
#include "lcache.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of an interface entry's `flags` and `flags2`. */
#define LCACHE_FLAG_SWPORT  0x01u
#define LCACHE_FLAG_SW      0x02u
#define LCACHE_FLAG_LINKUP  0x04u
#define LCACHE_FLAG_PROTOUP 0x08u
#define LCACHE_FLAG_ETH     0x10u
#define LCACHE_FLAG_ISVLAN  0x20u
#define LCACHE_FLAG_IPS     0x40u
#define LCACHE_FLAG_NULL    0x80u
#define LCACHE_FLAG2_LO     0x01u
#define LCACHE_FLAG2_P2P    0x02u

/* Statistics rows: the index of the misses, hits and updates arrays. */
typedef enum lcache_stat_row {
    LCACHE_STAT_IF_INDEX,
    LCACHE_STAT_IOD,
    LCACHE_STAT_PI,
    LCACHE_STAT_LIF,
    LCACHE_STAT_MAC,
    LCACHE_STAT_ENCAP,
    LCACHE_STAT_EXT,
    LCACHE_STAT_EXT1,
    LCACHE_STAT_EXT2,
    LCACHE_STAT_EXT3,
    LCACHE_STAT_CONTEXT,
    LCACHE_STAT_BASE_TID,
    LCACHE_STAT_MTU,
    LCACHE_STAT_SWITCHPORT,
    LCACHE_STAT_SWITCHING,
    LCACHE_STAT_LINKUP,
    LCACHE_STAT_PROTOUP,
    LCACHE_STAT_ETHERNET,
    LCACHE_STAT_IS_VLAN,
    LCACHE_STAT_VLAN,
    LCACHE_STAT_IPS,
    LCACHE_STAT_NULL,
    LCACHE_STAT_AGG_IF,
    LCACHE_STAT_GRE,
    LCACHE_STAT_SUBIF,
    LCACHE_STAT_NAME,
    LCACHE_STAT_LOOPBACK,
    LCACHE_STAT_P2P,
    LCACHE_STAT_PASSTHROUGH,
    LCACHE_STAT_ROWS
} lcache_stat_row_t;

/* VLAN statistics rows. */
typedef enum lcache_vlan_stat_row {
    LCACHE_VLAN_STAT_BD,
    LCACHE_VLAN_STAT_FINDEX,
    LCACHE_VLAN_STAT_PVLAN,
    LCACHE_VLAN_STAT_ROWS
} lcache_vlan_stat_row_t;

/* Memory types registered with the memory tracker. */
typedef enum lcache_mem_type {
    LCACHE_MEM_NONE = 0,
    LCACHE_MEM_lcache_if_entry_t = 1,
    LCACHE_MEM_lcache_vlan_entry_t = 2,
    LCACHE_MEM_MAX = 3
} lcache_mem_type_t;

/* ---------------------------------------------------------------------
 * Records
 * ------------------------------------------------------------------- */

/* One cached interface, reachable through up to four tables. */
struct lcache_if_entry {
    uint32_t if_index;
    ht_link_t if_link;
    uint32_t iod;
    ht_link_t iod_link;
    uint32_t pi;
    ht_link_t pi_link;
    uint32_t lif;
    ht_link_t lif_link;
    uint8_t mac[6];
    uint16_t encap;
    uint32_t extn;
    uint32_t extn1;
    uint32_t extn2;
    uint32_t extn3;
    uint32_t extn_size;
    uint32_t extn1_size;
    uint32_t extn2_size;
    uint32_t extn3_size;
    uint32_t ctx;
    uint32_t tid;
    uint16_t vlan;
    uint16_t mtu;
    uint32_t vlan_info;
    uint8_t flags;   /* LCACHE_FLAG_* */
    uint8_t flags2;  /* LCACHE_FLAG2_* */
    uint32_t valid;
    uint32_t dirty;  /* LCACHE_ATTR_* bits whose value must be fetched again */
    uint32_t agg_if; /* bundle: first operational member; sub-interface: parent */
    uint8_t if_type;
    uint8_t ref_count; /* index tables holding the entry */
    uint8_t iod_remap_cnt;
    uint8_t pi_remap_cnt;
    uint8_t lif_remap_cnt;
};

/* One cached VLAN. */
struct lcache_vlan_entry {
    uint16_t vlan;
    ht_link_t vlan_link;
    uint16_t bd;
    uint32_t fi;
    uint32_t pvlan;
    uint32_t dirty; /* written whole from the masks; bits 29-31 select fetches */
};

/* The statistics block: unsigned 64-bit counters, in this order. */
typedef struct lcache_stats {
    uint64_t misses[LCACHE_STAT_ROWS];
    uint64_t hits[LCACHE_STAT_ROWS];
    uint64_t updates[LCACHE_STAT_ROWS];
    uint64_t if_allocs, if_frees, if_destroys;
    uint64_t iod_remaps, pi_remaps, lif_remaps;
    uint64_t if_inserts, if_removes, if_insert_fails, if_remove_fails;
    uint64_t iod_inserts, iod_removes, iod_insert_fails, iod_remove_fails;
    uint64_t pi_inserts, pi_removes, pi_insert_fails, pi_remove_fails;
    uint64_t lif_inserts, lif_removes, lif_insert_fails, lif_remove_fails;
    uint64_t upd_phy, upd_l2, upd_l3, upd_l3_param, upd_l2_bundle, upd_l3_bundle, upd_agg_fop;
    uint64_t upd_if, upd_iod, upd_pi, upd_lif;
    uint64_t if_create_fails;
    uint64_t vlan_misses[LCACHE_VLAN_STAT_ROWS];
    uint64_t vlan_hits[LCACHE_VLAN_STAT_ROWS];
    uint64_t vlan_updates[LCACHE_VLAN_STAT_ROWS];
    uint64_t vlan_allocs, vlan_frees;
} lcache_stats_t;

/* The global cache object. */
typedef struct lcache_s {
    ht_table_t if_table;
    ht_table_t iod_table;  /* exists when sync_mask has LCACHE_ATTR_IOD */
    ht_table_t pi_table;   /* exists when sync_mask has LCACHE_ATTR_PI */
    ht_table_t lif_table;  /* exists when sync_mask has LCACHE_ATTR_LIF */
    ht_table_t vlan_table; /* exists when sync_mask has LCACHE_ATTR_VLAN */
    lcache_attr attr;
    lcache_stats_t stats;
} lcache_t;

/* ---------------------------------------------------------------------
 * Exported globals (all zero when the library is loaded)
 * ------------------------------------------------------------------- */

LCACHE_API extern lcache_t lcache;
LCACHE_API extern uint32_t lcache_enabled;   /* 1 while the cache is in service */
LCACHE_API extern uint32_t lcache_error_cb;  /* set by clients: 1 delivers errors */
LCACHE_API extern uint32_t lcache_do_sync;   /* sync_mask saved while disabled */
LCACHE_API extern char lcache_print_str[128]; /* text of the last error */
/* Kept for the platform's ABI; the library neither reads nor writes it. */
LCACHE_API extern uint32_t dmap_espan_session_bit_mask_t;

/* ---------------------------------------------------------------------
 * Memory types
 * ------------------------------------------------------------------- */

/* The name of memory type `value`, NULL when there is none. */
LCACHE_API const char *__lcache_mem_type_t_find(uint32_t value);
/* The memory type named `name` (case ignored); 0 when none, NULL included. */
LCACHE_API uint32_t __lcache_mem_type_t_str2enum(const char *name);

/* ---------------------------------------------------------------------
 * Index tables: key callbacks and membership
 * ------------------------------------------------------------------- */

/* Callbacks the tables were created with; called by the hash-table
 * service with valid pointers only.  hash: the u32 key modulo
 * `num_buckets`; get_key: the address of the entry's key; keys_equal: 1
 * when the two u32 keys are equal. */
LCACHE_API uint32_t lcache_if_hash(const void *key, uint32_t num_buckets);
LCACHE_API uint32_t lcache_iod_hash(const void *key, uint32_t num_buckets);
LCACHE_API uint32_t lcache_pi_hash(const void *key, uint32_t num_buckets);
LCACHE_API uint32_t lcache_lif_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_if_get_key(void *entry);
LCACHE_API void *lcache_iod_get_key(void *entry);
LCACHE_API void *lcache_pi_get_key(void *entry);
LCACHE_API void *lcache_lif_get_key(void *entry);
LCACHE_API uint32_t lcache_if_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_iod_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_pi_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_lif_keys_equal(const void *a, const void *b);

/* Put the entry into one table under the key it holds now: 1 on success,
 * 0 otherwise (NULL entry: 0, nothing reported).  Ignore sync_mask and the
 * enabled switch.  Trace errors. */
LCACHE_API uint32_t lcache_if_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_iod_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_pi_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_lif_insert_entry(lcache_if_entry_t *entry);
/* Take the entry out of the if table and release it when no table holds
 * it any more: 1 when it left, 0 otherwise (NULL entry, not held, or a
 * callback running).  Traces errors. */
LCACHE_API uint32_t lcache_if_delete_entry(lcache_if_entry_t *entry);
/* Take the entry out of one keyed table and reset that key: 1 on success,
 * 0 otherwise; 0 at once while the table's sync_mask bit is clear (so
 * also while disabled) or for a NULL entry.  Never release the entry.
 * Trace errors. */
LCACHE_API uint32_t lcache_iod_delete_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_pi_delete_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_lif_delete_entry(lcache_if_entry_t *entry);

/* ---------------------------------------------------------------------
 * Entry lifecycle
 * ------------------------------------------------------------------- */

/* The entry of `if_index`, created and filled when missing; NULL when the
 * cache is disabled, the ifindex is invalid, creation fails or a callback
 * is running.  iod 0: asked of the interface manager; pi and lif are only
 * traced.  Calls the peers and the extension callbacks; traces. */
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_if(uint32_t if_index, uint32_t iod,
                                                           uint32_t pi, uint32_t lif);
/* The entry held under the key, else one created through the peer's
 * translation (_by_pi and _by_lif only when create_on_miss is set); NULL
 * when there is none.  While disabled they still find what is cached and
 * create nothing.  Call the peers; trace. */
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_iod(uint32_t iod);
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_pi(uint32_t pi);
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_lif(uint32_t lif);
/* lcache_if_create_entry_by_iod with create_on_miss set, else a plain
 * lookup of the iod table. */
LCACHE_API lcache_if_entry_t *lcache_find_entry_by_iod(uint32_t iod);

/* Tears the entry down: out of every table that holds it (whatever its key
 * reads), released by the last.  Does nothing while disabled, for NULL or
 * while a callback runs.  Traces; calls nobody else. */
LCACHE_API void lcache_if_destroy_entry(lcache_if_entry_t *entry);

/* Refetches every dirty attribute of the entry: 1 when refreshed, 0 when
 * disabled, NULL, the ifindex is invalid or its iod has moved (the entry
 * holding the new iod is then removed).  `option` nonzero: the first fill
 * of a new entry.  Calls the peers and the extension callbacks; traces. */
LCACHE_API int32_t lcache_if_update_entry(lcache_if_entry_t *entry, uint32_t option);
/* The interface manager's source MAC of `iod`, in one static 6-byte
 * buffer that the next call overwrites.  Caches and counts nothing. */
LCACHE_API uint8_t *lcache_get_if_src_mac_addr(uint32_t iod);

/* Marks the option's mask dirty in the entry (as the flushes by key do);
 * NULL is skipped. */
LCACHE_API void lcache_flush_if_entry(lcache_if_entry_t *entry, uint32_t option);

/* ---------------------------------------------------------------------
 * VLAN cache: the table exists when sync_mask has LCACHE_ATTR_VLAN.
 * ------------------------------------------------------------------- */

/* Callbacks of the VLAN table (u16 keys); valid pointers only. */
LCACHE_API uint32_t lcache_vlan_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_vlan_get_key(void *entry);
LCACHE_API uint32_t lcache_vlan_keys_equal(const void *a, const void *b);
/* Creates the VLAN table when kept: 1, or 0 when it cannot (traced). */
LCACHE_API uint32_t lcache_vlan_table_init(void);
/* The entry of `vlan`, created and refreshed as needed; NULL while
 * disabled, without a VLAN table, or when creation fails.  Calls the VLAN
 * manager and the index mapper; traces. */
LCACHE_API lcache_vlan_entry_t *lcache_vlan_create_entry_by_vlan(uint16_t vlan);
/* Membership and release of one entry: 1 on success, 0 otherwise (NULL
 * entry: 0; delete: also 0 while a callback runs).  Trace errors. */
LCACHE_API uint32_t lcache_vlan_insert_entry(lcache_vlan_entry_t *entry);
LCACHE_API uint32_t lcache_vlan_delete_entry(lcache_vlan_entry_t *entry);
/* Fetches the entry's dirty attributes; 0 for NULL, else 1. */
LCACHE_API uint32_t lcache_vlan_update_entry(lcache_vlan_entry_t *entry);
/* Assign (not OR) the option's mask to the dirty word; NULL skipped.  By
 * VLAN and all: 1, or 0 while disabled. */
LCACHE_API void lcache_flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt);

/* ---------------------------------------------------------------------
 * Diagnostics: every line is an info trace; nothing changes.  All but the
 * two entry printers print nothing while disabled.
 * ------------------------------------------------------------------- */

/* One entry; NULL prints nothing.  Asks the interface manager the name. */
LCACHE_API void lcache_if_entry_print(const lcache_if_entry_t *entry);
/* Walk one table.  A table the hash-table service will not walk (never
 * created; NULL, unless the service walks it as empty) reports "Couldn't
 * init iterator"; a NULL table is never read through. */
LCACHE_API void lcache_if_print_table(ht_table_t *table);
LCACHE_API void lcache_iod_print_table(ht_table_t *table);
LCACHE_API void lcache_pi_print_table(ht_table_t *table);
LCACHE_API void lcache_lif_print_table(ht_table_t *table);
LCACHE_API void lcache_if_print_iod(uint32_t iod);
LCACHE_API void lcache_if_dump(void);
LCACHE_API void lcache_vlan_entry_print(const lcache_vlan_entry_t *entry);
LCACHE_API void lcache_vlan_print_table(ht_table_t *table);
LCACHE_API void lcache_vlan_print(uint16_t vlan);
/* The global report prints also while disabled. */
LCACHE_API void lcache_print_global(void);
/* A table's statistics; one the service cannot describe (NULL included)
 * reports "Failed to get stats". */
LCACHE_API void lcache_print_stats(ht_table_t *table);
LCACHE_API void lcache_dump(void);
LCACHE_API void lcache_vlan_dump(void);

#ifdef __cplusplus
}
#endif

#endif
