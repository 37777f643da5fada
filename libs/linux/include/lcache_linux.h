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

/* What the peers and the bridge have done since the last reset. */
typedef struct lcache_linux_counters {
    uint64_t round_trips;        /* requests answered by the kernel */
    uint64_t messages_handled;   /* notifications turned into cache updates */
    uint64_t messages_skipped;   /* about interfaces the cache does not hold */
    uint64_t messages_malformed; /* truncated or unreadable, skipped */
    uint64_t overruns;           /* lost notifications, each answered by a full flush */
    uint64_t allocation_failures; /* bookkeeping the bridge could not keep; answered by a flush */
} lcache_linux_counters_t;

/* Opens the notification socket and joins the kernel's link group.
 * 0, or a negative errno (-EALREADY when it is open already). */
LCACHE_LINUX_API int lcache_linux_open(void);

/* The descriptor to wait on for readability; -EBADF while closed. */
LCACHE_LINUX_API int lcache_linux_fd(void);

/* Reads every pending notification without blocking and hands each one to
 * the cache (lcache_update_*; an entry is removed when its interface is).
 * When the kernel reports lost notifications, every interface and VLAN
 * entry is marked dirty with flush option 3 and the overrun is counted.
 * Messages about interfaces the cache does not hold, and malformed ones,
 * are counted and skipped.  Returns the number of messages handed to the
 * cache, or a negative errno (-EBADF while closed). */
LCACHE_LINUX_API int lcache_linux_dispatch(void);

/* Releases the notification socket and the peers' request socket. */
LCACHE_LINUX_API void lcache_linux_close(void);

/* Copies the counters into `out` (ignored when NULL); reset zeroes them. */
LCACHE_LINUX_API void lcache_linux_get_counters(lcache_linux_counters_t *out);
LCACHE_LINUX_API void lcache_linux_reset_counters(void);

#ifdef __cplusplus
}
#endif

#endif
