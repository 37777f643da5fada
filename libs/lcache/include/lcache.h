/*
 * liblcache: an in-process, read-through cache of interface and VLAN
 * attributes.
 *
 * A client calls lcache_netif_is_linkup(iod) where it would have called
 * netif_is_linkup(iod): same arguments, same result convention.  The first
 * question about an interface creates an entry and fills it from the peer
 * services; later questions are answered from the entry until a change
 * notification (lcache_update_*) or a flush marks the attribute stale.
 *
 * Threads: none.  Every function runs on the caller's thread and takes no
 * lock; the process calls the library from one thread at a time.
 *
 * Lifecycle choices of this implementation:
 *  - Every operation other than lcache_init checks, before using the iod,
 *    pi, lif or VLAN table, that the table was created: a table whose bit
 *    is missing from sync_mask is never touched, even when a flush mask or
 *    a notification marks that key dirty.
 *  - lcache_cleanup returns every interface and VLAN entry still held to
 *    the memory tracker before it releases the tables, so init / cleanup
 *    cycles leak nothing.  A repeated lcache_init does the same for the
 *    entries of the previous initialisation.
 *  - lcache_restore_cache before any successful lcache_init, or after
 *    lcache_cleanup, leaves the cache disabled.
 *
 * Contracts.  Each function below says what it returns, what it does while
 * the cache is disabled (lcache_enabled 0), and what it may call: a peer
 * service (netif, agg, dmap, lifsvc, rtctx, vlan manager), the client's
 * trace and error callbacks, the extension callbacks of the attribute
 * block.  "Traces" means the trace or error callbacks may run.
 *
 * Pointers.  A pointer parameter must point to a complete object unless
 * its function says otherwise.  Where a NULL can be told apart by the
 * function's own failure result it is refused that way before anything
 * else happens, whether or not the answer is cached: no peer is asked and
 * nothing changes.  Status functions then return LCACHE_ERR_NULL_ARG.
 *
 * Callbacks that call back.  While a trace or error callback runs, the
 * operation that traced may still be using an entry.  During that time
 * every function that could release an entry or a table refuses:
 * lcache_init, lcache_cleanup, lcache_if_destroy_entry,
 * lcache_if_delete_entry, lcache_if_remove_entry_by_{if,iod,pi,lif},
 * lcache_vlan_delete_entry and lcache_vlan_remove_entry_by_vlan, and the
 * creation of an interface entry (whose failure paths release entries).
 * A refused call reports the error "<function>: refused while a trace or
 * error callback runs", changes nothing and returns its failure result (0,
 * NULL, or nothing).  Every other function may be called from a callback;
 * queries answer from what is cached or from the peer.  Reports made while
 * a callback runs reach lcache_print_str and the event history but no
 * callback, so a callback is never re-entered.
 *
 * Sizing: every table has table_size buckets and never grows.  A lookup
 * stays one short chain walk while the number of cached interfaces is at
 * most table_size; a client caching more than the default 16384 should set
 * table_size to its interface count, as a power of two (which also spares
 * the lookup a division).
 */
#ifndef LCACHE_H
#define LCACHE_H

#include <stdint.h>

#include "ht.h"
#include "netif.h"
#include "vlan_mgr.h"

#define LCACHE_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------
 * Constants
 * ------------------------------------------------------------------- */

#define LCACHE_MTRACK_ID 544u   /* memory-tracker identifier of the library */
#define LCACHE_HIST_INFO 121u   /* event-history header of an info event */
#define LCACHE_HIST_ERROR 122u  /* event-history header of an error */
#define LCACHE_DEFAULT_TABLE_SIZE 16384u

#define LCACHE_NO_IOD 0u            /* iod of an interface without one */
#define LCACHE_NO_PI 0xFFFFFFFFu    /* pi of an interface without one */
#define LCACHE_NO_LIF 0xFFFFFFFFu   /* lif of an interface without one */

/* Attribute bits: one numbering for an entry's `dirty` word and the five
 * masks of the attribute block. */
#define LCACHE_ATTR_IF_INDEX   0x00000001u
#define LCACHE_ATTR_IOD        0x00000002u /* in sync_mask: the iod table */
#define LCACHE_ATTR_PI         0x00000004u /* in sync_mask: the pi table */
#define LCACHE_ATTR_LIF        0x00000008u /* in sync_mask: the lif table */
#define LCACHE_ATTR_ENCAP      0x00000010u
#define LCACHE_ATTR_EXT        0x00000020u
#define LCACHE_ATTR_EXT1       0x00000040u
#define LCACHE_ATTR_EXT2       0x00000080u
#define LCACHE_ATTR_EXT3       0x00000100u
#define LCACHE_ATTR_MAC        0x00000200u
#define LCACHE_ATTR_VLAN       0x00000400u /* in sync_mask: the VLAN table */
#define LCACHE_ATTR_CONTEXT    0x00000800u
#define LCACHE_ATTR_BASE_TID   0x00001000u
#define LCACHE_ATTR_MTU        0x00002000u
#define LCACHE_ATTR_NAME       0x00004000u
#define LCACHE_ATTR_SWITCHPORT 0x00008000u
#define LCACHE_ATTR_SWITCHING  0x00010000u
#define LCACHE_ATTR_LINKUP     0x00020000u
#define LCACHE_ATTR_PROTOUP    0x00040000u
#define LCACHE_ATTR_ETHERNET   0x00080000u
#define LCACHE_ATTR_IS_VLAN    0x00100000u
#define LCACHE_ATTR_IPS        0x00200000u
#define LCACHE_ATTR_NULL       0x00400000u
#define LCACHE_ATTR_P2P        0x00800000u
#define LCACHE_ATTR_LOOPBACK   0x01000000u
#define LCACHE_ATTR_IF_TYPE    0x02000000u /* always added by lcache_init */
#define LCACHE_ATTR_AGG_IF     0x04000000u
#define LCACHE_ATTR_SUBIF      0x10000000u
#define LCACHE_ATTR_PVLAN      0x20000000u /* VLAN cache: primary VLAN */
#define LCACHE_ATTR_BD         0x40000000u /* VLAN cache: bridge domain */
#define LCACHE_ATTR_FINDEX     0x80000000u /* VLAN cache: flood index */

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

/* Status codes of the cache itself (all other failures come from peers). */
#define LCACHE_ERR_PI_REFRESH  0x40E00003u
#define LCACHE_ERR_IOD_REFRESH 0x40E30001u
#define LCACHE_ERR_LIF_REFRESH 0x41080003u
#define LCACHE_ERR_BAD_IFINDEX 0x40290000u
#define LCACHE_ERR_NULL_ARG    0x40E00016u /* a required pointer was NULL */

/* Results of the change notifications.  lcache_update_l2_state and
 * lcache_update_l3_state answer LCACHE_NOTIFY_STATE_*, or the status of a
 * failed peer call; the others answer LCACHE_NOTIFY_APPLIED or _IGNORED. */
#define LCACHE_NOTIFY_APPLIED        1  /* the entry was updated or created */
#define LCACHE_NOTIFY_IGNORED        0  /* disabled, no entry, nothing to do */
#define LCACHE_NOTIFY_STATE_OK       0  /* the record was handled */
#define LCACHE_NOTIFY_STATE_IGNORED (-1) /* disabled, or no entry to update */

/* State codes of the change records. */
#define LCACHE_PHY_GONE 2u              /* phy record: the interface is gone */
#define LCACHE_L2_NO_VLAN 0u            /* L2 record: the VLAN fields carry nothing */
#define LCACHE_L3_UP 1u                 /* L3 record: up; anything else is down */
#define LCACHE_L3_BUNDLE_LINK_ONLY 16u  /* L3 bundle record: link up, protocol down */
#define LCACHE_L3_PARAM_MTU 12u         /* bit of lcache_update_l3_param's bitset */

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

/* Trace sinks.  Their results are ignored. */
typedef int (*lcache_printf_fn)(const char *fmt, ...);
typedef int (*lcache_print_fn)(uint32_t arg, const char *fmt, ...);
/* Turns private data and its size into an extension value. */
typedef uint32_t (*lcache_ext_fn)(uint32_t private_data, uint32_t size);

/* The attribute block handed to lcache_init. */
typedef struct lcache_attr_s {
    uint32_t table_size;  /* buckets of every table; 0 selects 16384 */
    uint32_t sync_mask;   /* attributes the cache keeps */
    uint32_t crit_mask;   /* marked dirty by flush option 2 */
    uint32_t med_mask;    /* marked dirty by flush option 1 */
    uint32_t low_mask;    /* marked dirty by flush option 0 and above 3 */
    uint32_t once_mask;   /* printed by the global report only */
    lcache_ext_fn ext_fn[4];
    uint32_t ext_key[4];  /* ext_key[0] also identifies the event history */
    lcache_printf_fn debug_printf;
    lcache_printf_fn error_printf;
    lcache_print_fn debug_print;
    lcache_print_fn error_print;
    uint32_t debug_print_arg;
    uint32_t error_print_arg;
    uint32_t create_on_miss; /* forced to 1 by lcache_init */
    uint32_t l3_track;       /* L3 notifications create and remove entries */
} lcache_attr;

/* One cached interface, reachable through up to four tables. */
typedef struct lcache_if_entry {
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
} lcache_if_entry_t;

/* One cached VLAN. */
typedef struct lcache_vlan_entry {
    uint16_t vlan;
    ht_link_t vlan_link;
    uint16_t bd;
    uint32_t fi;
    uint32_t pvlan;
    uint32_t dirty; /* written whole from the masks; bits 29-31 select fetches */
} lcache_vlan_entry_t;

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

/* Change records, read at fixed byte offsets in host byte order (the
 * first-operational-member record in network byte order).  Reserved bytes
 * are never read. */
typedef struct lcache_state_msg {
    uint32_t if_index;
    uint32_t iod;
    uint8_t state;
    uint8_t reserved0[3];
} lcache_state_msg_t;

#define LCACHE_L2_VLAN_A 0x10u /* mode_flags: the VLAN is in vlan_a */

typedef struct lcache_l2_msg {
    uint32_t if_index;
    uint32_t iod;
    uint8_t state; /* 0: the VLAN fields carry nothing */
    uint8_t reserved0[5];
    uint8_t mode_flags;
    uint8_t reserved1;
    uint8_t mac[6];
    uint8_t reserved2[2];
    uint32_t mtu;
    uint8_t reserved3[8];
    uint32_t vlan_a;
    uint32_t vlan_b;
} lcache_l2_msg_t;

typedef struct lcache_l3_msg {
    uint32_t if_index;
    uint32_t iod; /* 0: not given, looked up and written back */
    uint8_t state;
    uint8_t reserved0[3];
    uint32_t mtu;
} lcache_l3_msg_t;

typedef struct lcache_agg_fop_msg {
    uint32_t if_index; /* big-endian */
    uint8_t reserved0[4];
    uint32_t old_fop;  /* big-endian; 0 = there was none */
    uint32_t new_fop;  /* big-endian; 0 = there is none now */
} lcache_agg_fop_msg_t;

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
 * Start, stop, switches, trace settings
 * ------------------------------------------------------------------- */

/* 1 when the cache is in service; 0 when a table could not be created,
 * `attr` is NULL or a callback is running.  Releases what an earlier init
 * held.  Calls the memory tracker; traces errors. */
LCACHE_API uint32_t lcache_init(const lcache_attr *attr);
/* Returns every entry to the memory tracker and releases the tables; 1,
 * or 0 (nothing done) while a callback runs.  Also while disabled. */
LCACHE_API uint32_t lcache_cleanup(void);
/* Switch caching off (sync_mask saved in lcache_do_sync) and on again;
 * each does nothing when already in that state.  Call nobody. */
LCACHE_API void lcache_disable_cache(void);
LCACHE_API void lcache_restore_cache(void);
/* The value of lcache_enabled. */
LCACHE_API uint32_t lcache_is_enabled(void);
/* Store the info-trace callback and its first argument; any value, at any
 * time (lcache_init overwrites them).  The two are the same. */
LCACHE_API void lcache_set_print(lcache_print_fn debug_print, uint32_t arg);
LCACHE_API void lcache_attr_set_debug_print_arg(lcache_print_fn debug_print, uint32_t arg);
/* Writes the two current values; a NULL pointer is skipped. */
LCACHE_API void lcache_attr_get_debug_print_arg(lcache_print_fn *debug_print, uint32_t *arg);
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
/* 1 when an entry was found under the key and handed to the teardown,
 * else 0 (also while a callback runs).  By if, pi and lif they find and
 * answer 1 while disabled too, though the teardown then does nothing; by
 * iod answers 0 while disabled and traces a miss. */
LCACHE_API uint32_t lcache_if_remove_entry_by_if(uint32_t if_index);
LCACHE_API uint32_t lcache_if_remove_entry_by_iod(uint32_t iod);
LCACHE_API uint32_t lcache_if_remove_entry_by_pi(uint32_t pi);
LCACHE_API uint32_t lcache_if_remove_entry_by_lif(uint32_t lif);

/* Refetches every dirty attribute of the entry: 1 when refreshed, 0 when
 * disabled, NULL, the ifindex is invalid or its iod has moved (the entry
 * holding the new iod is then removed).  `option` nonzero: the first fill
 * of a new entry.  Calls the peers and the extension callbacks; traces. */
LCACHE_API int32_t lcache_if_update_entry(lcache_if_entry_t *entry, uint32_t option);
/* The interface manager's source MAC of `iod`, in one static 6-byte
 * buffer that the next call overwrites.  Caches and counts nothing. */
LCACHE_API uint8_t *lcache_get_if_src_mac_addr(uint32_t iod);

/* Mark a mask of attributes dirty: option 3 sync_mask, 2 crit_mask, 1
 * med_mask, anything else low_mask.  A NULL entry is skipped.  By key they
 * find or create the entry like the creations above (nothing while
 * disabled); flush_all answers 1, or 0 while disabled or when the table
 * cannot be walked.  Trace. */
LCACHE_API void lcache_flush_if_entry(lcache_if_entry_t *entry, uint32_t option);
LCACHE_API void lcache_if_flush_if(uint32_t if_index, uint32_t option);
LCACHE_API void lcache_if_flush_iod(uint32_t iod, uint32_t option);
LCACHE_API void lcache_if_flush_pi(uint32_t pi, uint32_t option);
LCACHE_API void lcache_if_flush_lif(uint32_t lif, uint32_t option);
LCACHE_API uint32_t lcache_if_flush_all(uint32_t option);
/* Refreshes the cached entry of `if_index`: the refresh's result, 0 when
 * disabled or not cached.  Never creates. */
LCACHE_API uint32_t lcache_if_update_if(uint32_t if_index);

/* ---------------------------------------------------------------------
 * Attribute queries: the netif call of the same name, answered from the
 * entry of `iod` when the attribute's bit and the iod bit are in sync_mask
 * (so never while disabled), else from the peer.  A miss may create the
 * entry (calling the peers and traces); a hit calls nothing.
 * ------------------------------------------------------------------- */

/* Booleans: bit 0 of the peer's answer is cached; 0 or 1 from the cache,
 * the peer's own value when passed through. */
LCACHE_API uint32_t lcache_netif_is_switchport(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_switching_enabled_on_iod(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_linkup(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_protoup(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_ethernet(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_vlan(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_null0(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_native_p2p(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_loopback(uint32_t iod);
/* 16-bit values; an encapsulation of 0 is asked again, an MTU of 0 kept. */
LCACHE_API uint16_t lcache_netif_get_if_encaptype(uint32_t iod);
LCACHE_API uint16_t lcache_netif_get_if_mtu(uint32_t iod);
LCACHE_API uint16_t lcache_netif_get_if_vlanid(uint32_t iod);
/* 1 with `info` and `word` filled; from the cache always 1.  Either
 * pointer NULL: 0, nothing asked. */
LCACHE_API uint32_t lcache_netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info,
                                               uint32_t *word);
/* The entry's MAC (valid while the entry lives), else the buffer of
 * lcache_get_if_src_mac_addr. */
LCACHE_API uint8_t *lcache_netif_get_if_mac_addr(uint32_t iod);
/* 1 when `mac` (6 bytes) is the interface's MAC; NULL `mac`: 0, nothing
 * asked. */
LCACHE_API uint32_t lcache_netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac);
/* The name, never cached: with an entry, asked by ifindex into one of ten
 * static buffers; else the peer's own pointer. */
LCACHE_API const char *lcache_netif_get_if_name(uint32_t iod);
/* Interface-type tests, answered from the entry's type without counting
 * a hit. */
LCACHE_API uint32_t lcache_netif_is_mgmtether(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_super_802_3ad(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_gre_tunnel(uint32_t iod);
/* Never cached: the peer's answer. */
LCACHE_API uint32_t lcache_netif_is_stretch_tunnel(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_mpls_tunnel(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_6to4_tunnel(uint32_t iod);

/* ---------------------------------------------------------------------
 * Identifier translations: status 0 with the answer written, else a
 * failure status (the peer's, or LCACHE_ERR_*_REFRESH when a refresh
 * finds the entry stale).  Gated by the key's sync_mask bit, so passed to
 * the peer while disabled.  A miss may create the entry and a dirty key
 * refreshes it (calling the peers and traces).  A NULL output:
 * LCACHE_ERR_NULL_ARG.
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index);
/* Never creates: the iod is what a creation would have to ask for. */
LCACHE_API uint32_t lcache_netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod);
LCACHE_API uint32_t lcache_dmap_lib_si_to_ifidx(uint32_t si, uint32_t *if_index);
LCACHE_API uint32_t lcache_dmap_lib_ifidx_to_di(uint32_t if_index, uint32_t *di);
LCACHE_API uint32_t lcache_lifsvc_query_lif_to_ifindex(uint32_t lif, uint32_t *if_index);
LCACHE_API uint32_t lcache_lifsvc_query_ifindex_to_lif(uint32_t if_index, uint32_t *lif);
/* Only hash 0 (the first operational member) is cached. */
LCACHE_API uint32_t lcache_agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint8_t hash,
                                                         uint32_t *member);
LCACHE_API uint32_t lcache_agg_get_fop(uint32_t if_index, uint32_t *fop);
/* From the cache: the ips mode or 0; LCACHE_ERR_BAD_IFINDEX for an
 * invalid ifindex. */
LCACHE_API uint32_t lcache_phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode);
/* The layer-2 summary of port index `pi`: 0 with every output written,
 * LCACHE_ERR_PI_REFRESH when the port cannot be had.  Answered through the
 * queries above while disabled.  Any output NULL: LCACHE_ERR_NULL_ARG. */
LCACHE_API uint32_t lcache_get_if_l2_info_by_pi(uint32_t pi, uint32_t *if_index, uint32_t *iod,
                                                uint32_t *linkup, uint16_t *encap,
                                                uint32_t *switchport, uint32_t *switching,
                                                uint32_t *protoup, uint32_t *ext);

/* ---------------------------------------------------------------------
 * Private data and extension slots, gated like the attribute queries by
 * the slot's bit and the iod bit.  Call the peers, the extension
 * callbacks and traces on a miss.
 * ------------------------------------------------------------------- */

/* The private data under `key`, converted by ext_fn[0] when set; its size
 * through `size`, which may be NULL. */
LCACHE_API uint32_t lcache_netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size);
/* Stores slot 0's value and size in the entry: 1, or 0 when the entry
 * cannot be had; 1 without storing when slot 0 is not served. */
LCACHE_API uint32_t lcache_netif_update_private_data(uint32_t iod, uint32_t key, uint32_t value,
                                                     uint32_t size);
/* Store a slot's value in the entry, if there is one; always 1. */
LCACHE_API uint32_t lcache_netif_set_extension(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension1(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension2(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension3(uint32_t iod, uint32_t key, uint32_t value);
/* A slot's value; 0 is no answer and is asked again. */
LCACHE_API uint32_t lcache_netif_get_extension(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension1(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension2(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension3(uint32_t iod, uint32_t key);
/* 1 when a slot holds a nonzero value. */
LCACHE_API uint32_t lcache_netif_is_extension_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension1_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension2_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension3_set(uint32_t iod, uint32_t key);

/* ---------------------------------------------------------------------
 * Change notifications: LCACHE_NOTIFY_* results (above).  While disabled
 * or for a NULL record they do nothing and answer _IGNORED (l2 and l3
 * state: _STATE_IGNORED).  They find the entry by iod, may create or
 * remove entries, call the peers and trace.
 * ------------------------------------------------------------------- */

/* LCACHE_PHY_GONE removes the entry; any other state marks it linked up,
 * or creates it. */
LCACHE_API int32_t lcache_update_phy_state(const lcache_state_msg_t *msg);
/* A positive result is the status of an invalid ifindex. */
LCACHE_API int32_t lcache_update_l2_state(const lcache_l2_msg_t *msg);
/* An iod of 0 is asked of the interface manager and written back into the
 * record.  With l3_track, LCACHE_L3_UP creates and anything else removes.
 * A positive result is the status of a failed peer call. */
LCACHE_API int32_t lcache_update_l3_state(lcache_l3_msg_t *msg);
/* `changes` is a bitset (see bitset_is_bit_set), NULL for none; bit
 * LCACHE_L3_PARAM_MTU: the MTU changed. */
LCACHE_API int32_t lcache_update_l3_param(const lcache_state_msg_t *msg, const uint32_t *changes);
LCACHE_API int32_t lcache_update_l2_bundle_state(const lcache_l2_msg_t *msg);
LCACHE_API int32_t lcache_update_l3_bundle_state(const lcache_l3_msg_t *msg);
/* Found by ifindex; a new member of 0 removes the entry. */
LCACHE_API int32_t lcache_update_agg_fop(const lcache_agg_fop_msg_t *msg);
LCACHE_API int32_t lcache_update_switchport(uint32_t iod);
LCACHE_API int32_t lcache_update_vlan(uint32_t iod);

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
LCACHE_API uint32_t lcache_vlan_flush_all(uint32_t opt);
LCACHE_API uint32_t lcache_vlan_flush_vlan(uint16_t vlan, uint32_t opt);
/* 1 when a cached VLAN was found and refreshed or removed; 0 otherwise,
 * while disabled, or (remove) while a callback runs. */
LCACHE_API uint32_t lcache_vlan_update_vlan(uint16_t vlan);
LCACHE_API uint32_t lcache_vlan_remove_entry_by_vlan(uint16_t vlan);
/* VLAN queries: status 0 with the answer, else the peer's status; passed
 * to the peer when the attribute is not kept.  A NULL output:
 * LCACHE_ERR_NULL_ARG.  lcache_pvlan_get_pvlan always answers 0 and, with
 * a NULL output, asks nobody. */
LCACHE_API uint32_t lcache_vlan_get_bd(vlan_key_t key, uint16_t *bd);
LCACHE_API uint32_t lcache_pvlan_get_pvlan(uint32_t vlan, uint32_t *pvlan);
LCACHE_API uint32_t lcache_vlan_to_flood_di(uint16_t vlan, uint32_t *di, uint16_t *bd);

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
