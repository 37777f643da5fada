/* SPDX-License-Identifier: MIT */
/* A link monitor: prints each change of this host's interfaces as the
 * kernel announces it, through liblcache's change subscriptions.
 *
 *   cc link_monitor.c $(pkg-config --cflags --libs lcache-linux) -o link_monitor
 *   ./link_monitor
 *
 * The shape of a daemon: start warm (one dump of every link), add a watch,
 * then wait on the notification descriptor and a signal descriptor; each
 * dispatch hands the kernel's messages to the cache, which calls the watch
 * once per changed interface.  One line per change, flushed as printed:
 *
 *   eth3: mtu 1500 -> 9000          eth3: mac aa:bb:cc:00:00:01 -> aa:bb:cc:00:00:02
 *   eth4: carrier down              eth4: carrier up
 *   eth3: admin down                eth3: admin up
 *   eth5: added                     eth6: removed
 *   eth7: name was eth7x            (the new name first)
 *
 * The cache keeps no names, so the monitor keeps the one it printed last
 * for each interface, to say the old name of a renamed one and the name of
 * a removed one.  Nor does it keep the administrative state: Linux reports
 * no carrier for a link that is down, so a link going down and one losing
 * its carrier look alike in the cache (link and protocol state both go
 * down).  When link or protocol state changes the monitor asks the kernel
 * whether the link is up (SIOCGIFFLAGS) to tell the two apart; a link
 * brought up or down while it has no carrier changes nothing the cache
 * keeps, and is not reported.  SIGTERM or SIGINT ends it with status 0. */
/* Under -std=c11 too: signal masks, ifreq and the interface flags. */
#define _DEFAULT_SOURCE

#include <errno.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "lcache.h"
#include "lcache_linux.h"

#define WATCHED                                                                                    \
    (LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC |                \
     LCACHE_ATTR_NAME)

/* What the monitor remembers of an interface: what the cache does not. */
typedef struct known {
    uint32_t iod;
    char name[IF_NAMESIZE];
    bool admin_up;
} known_t;

static known_t *known;
static size_t known_count, known_room;
static int flags_socket = -1;

static known_t *find_known(uint32_t iod) {
    for (size_t i = 0; i < known_count; ++i)
        if (known[i].iod == iod)
            return &known[i];
    return NULL;
}

/* Whether the kernel says the link is administratively up now. */
static bool kernel_admin_up(uint32_t iod) {
    struct ifreq request = {0};
    if (!if_indextoname(iod, request.ifr_name))
        return false;
    return ioctl(flags_socket, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_UP);
}

/* The interface's name as the cache's peers tell it now. */
static void current_name(uint32_t iod, char *name) {
    const char *now = lcache_netif_get_if_name(iod);
    snprintf(name, IF_NAMESIZE, "%s", now ? now : "?");
}

/* Starts remembering `iod`; NULL without memory (it is then reported by
 * its iod). */
static known_t *remember(uint32_t iod) {
    known_t *entry = find_known(iod);
    if (!entry && known_count == known_room) {
        size_t room = known_room ? 2 * known_room : 16;
        known_t *grown = realloc(known, room * sizeof *known);
        if (!grown)
            return NULL;
        known = grown;
        known_room = room;
    }
    if (!entry)
        entry = &known[known_count++];
    entry->iod = iod;
    current_name(iod, entry->name);
    entry->admin_up = kernel_admin_up(iod);
    return entry;
}

static void forget(known_t *entry) { *entry = known[--known_count]; }

static const char *up_down(bool up) { return up ? "up" : "down"; }

static void print_mac(const uint8_t *mac) {
    printf("%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

/* An interface the monitor knew nothing of (out of memory when it
 * appeared) is named by its iod. */
static const char *name_of(const known_t *entry, uint32_t iod) {
    static char fallback[32];
    if (entry)
        return entry->name;
    snprintf(fallback, sizeof fallback, "iod %u", (unsigned)iod);
    return fallback;
}

static void report_update(const lcache_change_t *change) {
    known_t *entry = find_known(change->iod);
    if (change->changed & LCACHE_ATTR_NAME) {
        char now[IF_NAMESIZE];
        current_name(change->iod, now);
        printf("%s: name was %s\n", now, name_of(entry, change->iod));
        if (entry)
            memcpy(entry->name, now, sizeof now);
    }
    const char *name = name_of(entry, change->iod);
    if (change->changed & (LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP)) {
        bool admin_up = kernel_admin_up(change->iod);
        if (entry && admin_up != entry->admin_up) {
            entry->admin_up = admin_up;
            printf("%s: admin %s\n", name, up_down(admin_up));
        } else if (change->changed & LCACHE_ATTR_LINKUP) {
            printf("%s: carrier %s\n", name, up_down(change->after->flags & LCACHE_FLAG_LINKUP));
        }
    }
    if (change->changed & LCACHE_ATTR_MTU)
        printf("%s: mtu %u -> %u\n", name, (unsigned)change->before->mtu,
               (unsigned)change->after->mtu);
    if (change->changed & LCACHE_ATTR_MAC) {
        printf("%s: mac ", name);
        print_mac(change->before->mac);
        printf(" -> ");
        print_mac(change->after->mac);
        printf("\n");
    }
}

/* The watch: called once per changed interface, after the cache applied
 * the whole kernel message. */
static void heard(const lcache_change_t *change, void *arg) {
    (void)arg;
    if (change->event == LCACHE_CHANGE_ADDED) {
        printf("%s: added\n", name_of(remember(change->iod), change->iod));
    } else if (change->event == LCACHE_CHANGE_REMOVED) {
        known_t *entry = find_known(change->iod);
        printf("%s: removed\n", name_of(entry, change->iod));
        if (entry)
            forget(entry);
    } else {
        report_update(change);
    }
    fflush(stdout);
}

/* Every interface the sync cached, with its name and state as of now. */
static void remember_all(void) {
    struct if_nameindex *names = if_nameindex();
    for (struct if_nameindex *one = names; one && one->if_index; ++one)
        remember(one->if_index);
    if_freenameindex(names);
}

/* Dispatches until a signal ends the loop; 0, or 1 when the bridge failed. */
static int run(int signals) {
    struct pollfd fds[2] = {{.fd = lcache_linux_fd(), .events = POLLIN},
                            {.fd = signals, .events = POLLIN}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            perror("link_monitor: poll");
            return 1;
        }
        if (fds[1].revents)
            return 0;
        int handled = lcache_linux_dispatch();
        if (handled < 0) {
            fprintf(stderr, "link_monitor: dispatch: %s\n", strerror(-handled));
            return 1;
        }
    }
}

int main(void) {
    /* Signals arrive as a descriptor: the loop ends between two dispatches,
     * never inside one. */
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigprocmask(SIG_BLOCK, &ending, NULL);
    int signals = signalfd(-1, &ending, SFD_CLOEXEC);
    flags_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (signals < 0 || flags_socket < 0) {
        perror("link_monitor");
        return 1;
    }
    lcache_attr attr = {0};
    attr.sync_mask = LCACHE_ATTR_IOD | WATCHED;
    attr.crit_mask = attr.sync_mask;
    if (lcache_init(&attr) != 1) {
        fprintf(stderr, "link_monitor: the cache did not start\n");
        return 1;
    }
    int synced = lcache_linux_sync(); /* opens the bridge too */
    if (synced < 0) {
        fprintf(stderr, "link_monitor: sync: %s\n", strerror(-synced));
        lcache_cleanup();
        return 1;
    }
    /* Nothing is dispatched before the watch is added, so no change made
     * after the sync's dump goes unheard. */
    remember_all();
    if (lcache_watch_add(WATCHED, heard, NULL) < 0) {
        fprintf(stderr, "link_monitor: cannot add the watch\n");
        lcache_linux_close();
        lcache_cleanup();
        return 1;
    }
    printf("watching %d interfaces\n", synced);
    fflush(stdout);
    int status = run(signals);
    lcache_linux_close();
    lcache_cleanup();
    free(known);
    close(flags_socket);
    close(signals);
    return status;
}
