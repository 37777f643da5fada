/* SPDX-License-Identifier: MIT */
/*
 * liblcache_linux: the peer services of liblcache answered by the running
 * Linux kernel over rtnetlink, and a notification bridge that keeps the
 * cache fresh from the kernel's own link notifications.
 *
 * Link the peers ahead of liblcache and keep them in the link
 * (pkg-config lcache-linux does both); the cache then asks the kernel for
 * what it does not hold.  The iod of an interface is its kernel ifindex, so
 * a client finds it with if_nametoindex().  docs/LINUX.md gives the whole
 * mapping.
 *
 * Threads: like liblcache, one thread at a time.
 */
#ifndef LCACHE_LINUX_H
#define LCACHE_LINUX_H

#include <stdint.h>

#define LCACHE_LINUX_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Failure statuses of the Linux peers (0 is success). */
#define LCACHE_LINUX_NO_INTERFACE   0x4C4E0001u /* no such iod, ifindex, port index or LIF */
#define LCACHE_LINUX_NOT_APPLICABLE 0x4C4E0002u /* the interface has no such attribute */
#define LCACHE_LINUX_NO_VLAN        0x4C4E0003u /* no bridge carries the VLAN */
#define LCACHE_LINUX_WRONG_SLICE    0x4C4E0004u /* a VLAN key of another slice */
#define LCACHE_LINUX_NO_MEMBER      0x4C4E0005u /* a port-channel without an operational member */
#define LCACHE_LINUX_KERNEL_FAILED  0x4C4E0006u /* the netlink round trip itself failed */
#define LCACHE_LINUX_BAD_ARGUMENT   0x4C4E0007u /* a missing output */

/* What the peers and the bridge have done since the last reset.  Fields
 * are only ever appended. */
typedef struct lcache_linux_counters {
    uint64_t round_trips;        /* requests answered by the kernel */
    uint64_t messages_handled;   /* notifications turned into cache updates */
    uint64_t messages_skipped;   /* about interfaces the cache does not hold */
    uint64_t messages_malformed; /* unreadable: counted, and answered by a resync */
    uint64_t overruns;           /* times the kernel reported lost notifications */
    uint64_t allocation_failures; /* bookkeeping the bridge could not keep; answered by a flush */
    /* Since 1.1: */
    uint64_t resyncs;            /* dispatches that lost notifications and resynchronised */
    uint64_t dump_retries;       /* dumps the kernel interrupted, asked again */
    uint64_t generation;         /* rebuilds of the cache's view: every sync and resync;
                                    not zeroed by a reset */
    uint64_t resync_fallbacks;   /* resyncs whose dump failed: every entry flushed instead */
    uint64_t messages_foreign;   /* sent by another process, not the kernel: dropped */
} lcache_linux_counters_t;

/* Opens the notification socket and joins the kernel's link group.
 * 0, or a negative errno (-EALREADY when it is open already). */
LCACHE_LINUX_API int lcache_linux_open(void);

/* The descriptor to wait on for readability; -EBADF while closed. */
LCACHE_LINUX_API int lcache_linux_fd(void);

/* Reads every pending notification without blocking and hands each one to
 * the cache (lcache_update_*; an entry is removed when its interface is).
 * Messages about interfaces the cache does not hold are counted and
 * skipped, unless a sync has run: such an interface then gets an entry.
 * Only the kernel's messages are applied; others are counted and dropped.
 *
 * When notifications were lost (the kernel reports an overrun, or one
 * could not be read or understood), what is still queued is dropped and
 * one dump of every link is merged into the cache: entries of interfaces
 * that are gone are removed, the others get what changed, exactly as a
 * notification would give it (and VLAN entries likewise from one bridge
 * VLAN dump).  At most one such resync per call; only when its dump fails
 * is every interface and VLAN entry flushed (option 3) instead.
 *
 * Returns the number of messages handed to the cache, or a negative errno:
 * -EBADF while closed, -EBUSY when called from within a dispatch or sync
 * (from a trace callback). */
LCACHE_LINUX_API int lcache_linux_dispatch(void);

/* Starts warm: opens the bridge when it is closed (joining the link group
 * before anything is read, so no change is missed), then one dump of every
 * link (and of the bridge VLANs where a bridge filters them) creates and
 * fills an entry for every interface, every attribute of sync_mask fresh
 * (but for what the cache takes as not yet known and asks again: an
 * all-zero MAC, such as lo's), and the VLAN entries.  Entries already cached are brought in line the
 * way a notification would.  Notifications queued meanwhile are then
 * applied.  A dump the kernel interrupts is asked again a few times.
 * From then on, until lcache_linux_close, a new interface gets its entry
 * as soon as the kernel announces it.
 * Returns the number of interfaces the cache holds from the dump, or a
 * negative errno: -ENODEV while the cache is disabled, -EIO when the dump
 * failed, -EBUSY from within a dispatch, or the open's own error. */
LCACHE_LINUX_API int lcache_linux_sync(void);

/* Releases the notification socket and the peers' request socket; the
 * next open starts cold again (no sync in force). */
LCACHE_LINUX_API void lcache_linux_close(void);

/* Copies the counters into `out` (ignored when NULL); reset zeroes them. */
LCACHE_LINUX_API void lcache_linux_get_counters(lcache_linux_counters_t *out);
LCACHE_LINUX_API void lcache_linux_reset_counters(void);

#ifdef __cplusplus
}
#endif

#endif
