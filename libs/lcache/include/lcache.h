/* SPDX-License-Identifier: MIT */
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
 * This header is the client's surface: lifecycle, queries, notifications,
 * invalidation and subscriptions.  The global object, the entry layout,
 * the table callbacks, entry-level calls and the printers are in
 * lcache_object.h, which this header includes at its end.
 *
 * Change subscriptions (lcache_watch_add) tell a client what the cache
 * learnt, with the values before and after; see that section below.
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

/* Entries, laid out in lcache_object.h. */
typedef struct lcache_if_entry lcache_if_entry_t;
typedef struct lcache_vlan_entry lcache_vlan_entry_t;

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

/* ---------------------------------------------------------------------
 * Invalidation and removal by key
 * ------------------------------------------------------------------- */

/* 1 when an entry was found under the key and handed to the teardown,
 * else 0 (also while a callback runs).  By if, pi and lif they find and
 * answer 1 while disabled too, though the teardown then does nothing; by
 * iod answers 0 while disabled and traces a miss. */
LCACHE_API uint32_t lcache_if_remove_entry_by_if(uint32_t if_index);
LCACHE_API uint32_t lcache_if_remove_entry_by_iod(uint32_t iod);
LCACHE_API uint32_t lcache_if_remove_entry_by_pi(uint32_t pi);
LCACHE_API uint32_t lcache_if_remove_entry_by_lif(uint32_t lif);

/* Mark a mask of attributes dirty: option 3 sync_mask, 2 crit_mask, 1
 * med_mask, anything else low_mask.  They find or create the entry like
 * the creations of lcache_object.h (nothing while disabled); flush_all
 * answers 1, or 0 while disabled or when the table cannot be walked.
 * Trace. */
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
 * VLAN cache: kept when sync_mask has LCACHE_ATTR_VLAN.
 * ------------------------------------------------------------------- */

/* Assign (not OR) the option's mask to the dirty word of the VLAN's entry,
 * or of every entry: 1, or 0 while disabled. */
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
 * Change subscriptions
 *
 * A watch hears of every interface entry the cache creates (ADDED) or
 * removes (REMOVED), and of every change to a cached value whose bit is
 * in its mask (UPDATED), at the moment the cache learns it: from a
 * notification, a refresh, a query that fetched a new value, a flush.
 *
 *  - `changed` holds the bits whose cached value differs from `before`;
 *    `stale` the bits a flush or notification marked dirty without giving
 *    a new value (the next query asks the owner).  An operation that
 *    leaves every watched value as it was and marks nothing newly stale
 *    is silent, so a notification repeating the current value is too.
 *    LCACHE_ATTR_NAME changes come from lcache_update_name: names are
 *    never cached, so `before` and `after` hold no name.
 *  - One event per entry per operation, delivered when the operation has
 *    finished with every entry it touched: a callback sees the cache as
 *    the operation left it, and may query it (queries answer the new
 *    state and count as queries).  `before` and `after` are copies, valid
 *    until the callback returns; their table links mean nothing.
 *  - A callback may add and remove watches: a watch removed during a
 *    delivery hears nothing more; one added hears the next event.  It may
 *    not release entries or tables, nor create an interface entry: those
 *    calls are refused as for trace callbacks, with the same report.
 *    Changes made by a callback's own calls are delivered after the
 *    events already pending, never from inside the callback.
 *  - lcache_init and lcache_cleanup release entries without events;
 *    lcache_cleanup drops every watch.  While disabled only the calls on
 *    one entry (lcache_object.h) still change anything, and what they
 *    change is heard.
 *  - Without a watch nothing is recorded and no query pays for them.
 * ------------------------------------------------------------------- */

#define LCACHE_CHANGE_ADDED   1u /* the cache now holds this entry */
#define LCACHE_CHANGE_UPDATED 2u /* cached values changed, or went stale */
#define LCACHE_CHANGE_REMOVED 3u /* the entry is gone */

typedef struct lcache_change {
    uint32_t event;                  /* LCACHE_CHANGE_* */
    uint32_t iod;
    uint32_t if_index;
    uint32_t changed;                /* LCACHE_ATTR_* bits whose cached value changed */
    uint32_t stale;                  /* bits marked stale without a new value */
    const lcache_if_entry_t *before; /* the entry's values before the event; NULL when added */
    const lcache_if_entry_t *after;  /* the entry after it; NULL when removed */
} lcache_change_t;

typedef void (*lcache_watch_fn)(const lcache_change_t *change, void *arg);

/* Calls `fn` with `arg` for every interface event that `mask` selects
 * (ADDED and REMOVED whatever the mask).  A handle >= 0, or -EINVAL for a
 * NULL `fn`, -ENOMEM when the watch cannot be kept.  Calls the memory
 * tracker. */
LCACHE_API int lcache_watch_add(uint32_t mask, lcache_watch_fn fn, void *arg);
/* 0, or -ENOENT when `handle` names no watch. */
LCACHE_API int lcache_watch_remove(int handle);

/* Make every call up to the matching lcache_watch_end one operation: an
 * entry they change gives one event, delivered by the lcache_watch_end
 * that closes the outermost pair.  For a feed that applies one change as
 * several notifications.  lcache_watch_end answers 0, or -EINVAL without
 * an open lcache_watch_begin. */
LCACHE_API void lcache_watch_begin(void);
LCACHE_API int lcache_watch_end(void);

/* The interface's name changed.  Names are never cached, so only watchers
 * of LCACHE_ATTR_NAME hear it: LCACHE_NOTIFY_APPLIED when `iod` has an
 * entry, else LCACHE_NOTIFY_IGNORED (also while disabled).  Traces. */
LCACHE_API int32_t lcache_update_name(uint32_t iod);

/* VLAN entries likewise: `changed` and `stale` hold LCACHE_ATTR_PVLAN,
 * LCACHE_ATTR_BD and LCACHE_ATTR_FINDEX bits. */
typedef struct lcache_vlan_change {
    uint32_t event; /* LCACHE_CHANGE_* */
    uint32_t vlan;
    uint32_t changed;
    uint32_t stale;
    const lcache_vlan_entry_t *before; /* NULL when added */
    const lcache_vlan_entry_t *after;  /* NULL when removed */
} lcache_vlan_change_t;

typedef void (*lcache_vlan_watch_fn)(const lcache_vlan_change_t *change, void *arg);

LCACHE_API int lcache_vlan_watch_add(uint32_t mask, lcache_vlan_watch_fn fn, void *arg);
LCACHE_API int lcache_vlan_watch_remove(int handle);

#ifdef __cplusplus
}
#endif

#include "lcache_object.h"

#endif
