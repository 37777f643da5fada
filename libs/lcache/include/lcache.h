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

/* 1 when the cache is in service, 0 when a table could not be created or
 * `attr` is NULL. */
LCACHE_API uint32_t lcache_init(const lcache_attr *attr);
/* Returns every entry to the memory tracker and releases the tables; 1. */
LCACHE_API uint32_t lcache_cleanup(void);
LCACHE_API void lcache_disable_cache(void);
LCACHE_API void lcache_restore_cache(void);
LCACHE_API uint32_t lcache_is_enabled(void);
LCACHE_API void lcache_set_print(lcache_print_fn debug_print, uint32_t arg);
LCACHE_API void lcache_attr_set_debug_print_arg(lcache_print_fn debug_print, uint32_t arg);
LCACHE_API void lcache_attr_get_debug_print_arg(lcache_print_fn *debug_print, uint32_t *arg);
LCACHE_API const char *__lcache_mem_type_t_find(uint32_t value);
LCACHE_API uint32_t __lcache_mem_type_t_str2enum(const char *name);

/* ---------------------------------------------------------------------
 * Index tables: key callbacks and membership (1 success, 0 otherwise)
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_if_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_if_get_key(void *entry);
LCACHE_API uint32_t lcache_if_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_iod_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_iod_get_key(void *entry);
LCACHE_API uint32_t lcache_iod_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_pi_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_pi_get_key(void *entry);
LCACHE_API uint32_t lcache_pi_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_lif_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_lif_get_key(void *entry);
LCACHE_API uint32_t lcache_lif_keys_equal(const void *a, const void *b);

LCACHE_API uint32_t lcache_if_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_iod_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_pi_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_lif_insert_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_if_delete_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_iod_delete_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_pi_delete_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_lif_delete_entry(lcache_if_entry_t *entry);

/* ---------------------------------------------------------------------
 * Entry lifecycle
 * ------------------------------------------------------------------- */

LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_if(uint32_t if_index, uint32_t iod,
                                                           uint32_t pi, uint32_t lif);
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_iod(uint32_t iod);
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_pi(uint32_t pi);
LCACHE_API lcache_if_entry_t *lcache_if_create_entry_by_lif(uint32_t lif);
LCACHE_API lcache_if_entry_t *lcache_find_entry_by_iod(uint32_t iod);

LCACHE_API void lcache_if_destroy_entry(lcache_if_entry_t *entry);
LCACHE_API uint32_t lcache_if_remove_entry_by_if(uint32_t if_index);
LCACHE_API uint32_t lcache_if_remove_entry_by_iod(uint32_t iod);
LCACHE_API uint32_t lcache_if_remove_entry_by_pi(uint32_t pi);
LCACHE_API uint32_t lcache_if_remove_entry_by_lif(uint32_t lif);

LCACHE_API int32_t lcache_if_update_entry(lcache_if_entry_t *entry, uint32_t option);
LCACHE_API uint8_t *lcache_get_if_src_mac_addr(uint32_t iod);

LCACHE_API void lcache_flush_if_entry(lcache_if_entry_t *entry, uint32_t option);
LCACHE_API void lcache_if_flush_if(uint32_t if_index, uint32_t option);
LCACHE_API void lcache_if_flush_iod(uint32_t iod, uint32_t option);
LCACHE_API void lcache_if_flush_pi(uint32_t pi, uint32_t option);
LCACHE_API void lcache_if_flush_lif(uint32_t lif, uint32_t option);
LCACHE_API uint32_t lcache_if_flush_all(uint32_t option);
LCACHE_API uint32_t lcache_if_update_if(uint32_t if_index);

/* ---------------------------------------------------------------------
 * Attribute queries (same arguments and results as the netif calls)
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_netif_is_switchport(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_switching_enabled_on_iod(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_linkup(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_protoup(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_ethernet(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_vlan(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_null0(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_native_p2p(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_loopback(uint32_t iod);
LCACHE_API uint16_t lcache_netif_get_if_encaptype(uint32_t iod);
LCACHE_API uint16_t lcache_netif_get_if_mtu(uint32_t iod);
LCACHE_API uint16_t lcache_netif_get_if_vlanid(uint32_t iod);
LCACHE_API uint32_t lcache_netif_get_vlan_info(uint32_t iod, netif_vlan_info_t *info,
                                               uint32_t *word);
LCACHE_API uint8_t *lcache_netif_get_if_mac_addr(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_if_mac_addr(uint32_t iod, const uint8_t *mac);
LCACHE_API const char *lcache_netif_get_if_name(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_mgmtether(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_super_802_3ad(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_gre_tunnel(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_stretch_tunnel(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_mpls_tunnel(uint32_t iod);
LCACHE_API uint32_t lcache_netif_is_6to4_tunnel(uint32_t iod);

/* ---------------------------------------------------------------------
 * Identifier translations (status 0 = success)
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_netif_get_ifindex_frm_iod(uint32_t iod, uint32_t *if_index);
LCACHE_API uint32_t lcache_netif_get_iod_frm_ifindex(uint32_t if_index, uint32_t *iod);
LCACHE_API uint32_t lcache_dmap_lib_si_to_ifidx(uint32_t si, uint32_t *if_index);
LCACHE_API uint32_t lcache_dmap_lib_ifidx_to_di(uint32_t if_index, uint32_t *di);
LCACHE_API uint32_t lcache_lifsvc_query_lif_to_ifindex(uint32_t lif, uint32_t *if_index);
LCACHE_API uint32_t lcache_lifsvc_query_ifindex_to_lif(uint32_t if_index, uint32_t *lif);
LCACHE_API uint32_t lcache_agg_get_pc_mbr_ifidx_from_rbh(uint32_t if_index, uint8_t hash,
                                                         uint32_t *member);
LCACHE_API uint32_t lcache_agg_get_fop(uint32_t if_index, uint32_t *fop);
LCACHE_API uint32_t lcache_phyport_gldb_get_ifindex_port_mode(uint32_t if_index, uint32_t *mode);
LCACHE_API uint32_t lcache_get_if_l2_info_by_pi(uint32_t pi, uint32_t *if_index, uint32_t *iod,
                                                uint32_t *linkup, uint16_t *encap,
                                                uint32_t *switchport, uint32_t *switching,
                                                uint32_t *protoup, uint32_t *ext);

/* ---------------------------------------------------------------------
 * Private data and extension slots
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_netif_get_private_data(uint32_t iod, uint32_t key, uint32_t *size);
LCACHE_API uint32_t lcache_netif_update_private_data(uint32_t iod, uint32_t key, uint32_t value,
                                                     uint32_t size);
LCACHE_API uint32_t lcache_netif_set_extension(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension1(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension2(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_set_extension3(uint32_t iod, uint32_t key, uint32_t value);
LCACHE_API uint32_t lcache_netif_get_extension(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension1(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension2(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_get_extension3(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension1_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension2_set(uint32_t iod, uint32_t key);
LCACHE_API uint32_t lcache_netif_is_extension3_set(uint32_t iod, uint32_t key);

/* ---------------------------------------------------------------------
 * Change notifications
 * ------------------------------------------------------------------- */

LCACHE_API int32_t lcache_update_phy_state(const lcache_state_msg_t *msg);
LCACHE_API int32_t lcache_update_l2_state(const lcache_l2_msg_t *msg);
LCACHE_API int32_t lcache_update_l3_state(lcache_l3_msg_t *msg);
/* `changes` is a bitset (see bitset_is_bit_set); bit 12: the MTU changed. */
LCACHE_API int32_t lcache_update_l3_param(const lcache_state_msg_t *msg, const uint32_t *changes);
LCACHE_API int32_t lcache_update_l2_bundle_state(const lcache_l2_msg_t *msg);
LCACHE_API int32_t lcache_update_l3_bundle_state(const lcache_l3_msg_t *msg);
LCACHE_API int32_t lcache_update_agg_fop(const lcache_agg_fop_msg_t *msg);
LCACHE_API int32_t lcache_update_switchport(uint32_t iod);
LCACHE_API int32_t lcache_update_vlan(uint32_t iod);

/* ---------------------------------------------------------------------
 * VLAN cache
 * ------------------------------------------------------------------- */

LCACHE_API uint32_t lcache_vlan_hash(const void *key, uint32_t num_buckets);
LCACHE_API void *lcache_vlan_get_key(void *entry);
LCACHE_API uint32_t lcache_vlan_keys_equal(const void *a, const void *b);
LCACHE_API uint32_t lcache_vlan_table_init(void);
LCACHE_API lcache_vlan_entry_t *lcache_vlan_create_entry_by_vlan(uint16_t vlan);
LCACHE_API uint32_t lcache_vlan_insert_entry(lcache_vlan_entry_t *entry);
LCACHE_API uint32_t lcache_vlan_delete_entry(lcache_vlan_entry_t *entry);
LCACHE_API uint32_t lcache_vlan_update_entry(lcache_vlan_entry_t *entry);
LCACHE_API void lcache_flush_vlan_entry(lcache_vlan_entry_t *entry, uint32_t opt);
LCACHE_API uint32_t lcache_vlan_flush_all(uint32_t opt);
LCACHE_API uint32_t lcache_vlan_flush_vlan(uint16_t vlan, uint32_t opt);
LCACHE_API uint32_t lcache_vlan_update_vlan(uint16_t vlan);
LCACHE_API uint32_t lcache_vlan_remove_entry_by_vlan(uint16_t vlan);
LCACHE_API uint32_t lcache_vlan_get_bd(vlan_key_t key, uint16_t *bd);
LCACHE_API uint32_t lcache_pvlan_get_pvlan(uint32_t vlan, uint32_t *pvlan);
LCACHE_API uint32_t lcache_vlan_to_flood_di(uint16_t vlan, uint32_t *di, uint16_t *bd);

/* ---------------------------------------------------------------------
 * Diagnostics (every line is an info trace)
 * ------------------------------------------------------------------- */

LCACHE_API void lcache_if_entry_print(const lcache_if_entry_t *entry);
LCACHE_API void lcache_if_print_table(ht_table_t *table);
LCACHE_API void lcache_iod_print_table(ht_table_t *table);
LCACHE_API void lcache_pi_print_table(ht_table_t *table);
LCACHE_API void lcache_lif_print_table(ht_table_t *table);
LCACHE_API void lcache_if_print_iod(uint32_t iod);
LCACHE_API void lcache_if_dump(void);
LCACHE_API void lcache_vlan_entry_print(const lcache_vlan_entry_t *entry);
LCACHE_API void lcache_vlan_print_table(ht_table_t *table);
LCACHE_API void lcache_vlan_print(uint16_t vlan);
LCACHE_API void lcache_print_global(void);
LCACHE_API void lcache_print_stats(ht_table_t *table);
LCACHE_API void lcache_dump(void);
LCACHE_API void lcache_vlan_dump(void);

#ifdef __cplusplus
}
#endif

#endif
