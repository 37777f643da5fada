/* SPDX-License-Identifier: MIT */
/* Watches the link state of this host's interfaces through liblcache, with
 * the running kernel as its peers.
 *
 *   cc linux_client.c $(pkg-config --cflags --libs lcache-linux) -o linux_client
 *   ./linux_client [seconds]
 *
 * It starts warm (one dump of every link fills the cache), prints what the
 * cache knows of every interface, then waits on the notification
 * descriptor and prints each change of link or protocol state as the
 * kernel announces it.  Without an argument it runs until killed. */
#include <errno.h>
#include <net/if.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "lcache.h"
#include "lcache_linux.h"

/* What this client asks about, per interface. */
typedef struct watched {
    uint32_t iod; /* the kernel's ifindex */
    char name[IF_NAMESIZE];
    uint32_t linkup;
    uint32_t protoup;
} watched_t;

static const char *up_down(uint32_t up) { return up ? "up" : "down"; }

static void print_interface(const watched_t *w) {
    uint32_t if_index = 0, port = 0;
    printf("%s: iod %u", w->name, (unsigned)w->iod);
    if (lcache_netif_get_ifindex_frm_iod(w->iod, &if_index) == 0)
        printf(", ifindex 0x%08x", (unsigned)if_index);
    uint32_t status = lcache_dmap_lib_ifidx_to_di(if_index, &port);
    if (status == 0 && port != LCACHE_NO_PI)
        printf(", port index %u", (unsigned)port);
    else if (status == 0)
        printf(", no port index");
    else
        printf(", no port index (status %u)", (unsigned)status);
    printf(", mtu %u, link %s, protocol %s\n", (unsigned)lcache_netif_get_if_mtu(w->iod),
           up_down(w->linkup), up_down(w->protoup));
}

/* The host's interfaces as they are now; NULL when there are none. */
static watched_t *list_interfaces(size_t *count) {
    struct if_nameindex *names = if_nameindex();
    if (!names)
        return NULL;
    size_t n = 0;
    while (names[n].if_index)
        ++n;
    watched_t *list = calloc(n ? n : 1, sizeof *list);
    for (size_t i = 0; list && i < n; ++i) {
        list[i].iod = names[i].if_index;
        snprintf(list[i].name, sizeof list[i].name, "%s", names[i].if_name);
        list[i].linkup = lcache_netif_is_linkup(list[i].iod);
        list[i].protoup = lcache_netif_is_protoup(list[i].iod);
    }
    if_freenameindex(names);
    *count = list ? n : 0;
    return list;
}

/* Asks the cache again after a notification: only what the notification
 * marked stale reaches the kernel. */
static void report_changes(watched_t *list, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t linkup = lcache_netif_is_linkup(list[i].iod);
        uint32_t protoup = lcache_netif_is_protoup(list[i].iod);
        if (linkup != list[i].linkup)
            printf("%s: link %s -> %s\n", list[i].name, up_down(list[i].linkup),
                   up_down(linkup));
        if (protoup != list[i].protoup)
            printf("%s: protocol %s -> %s\n", list[i].name, up_down(list[i].protoup),
                   up_down(protoup));
        list[i].linkup = linkup;
        list[i].protoup = protoup;
    }
}

static long long now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* Waits on the bridge's descriptor until `seconds` have passed (never,
 * when negative), dispatching every notification to the cache. */
static int watch(watched_t *list, size_t count, long seconds) {
    long long deadline = seconds < 0 ? -1 : now_ms() + seconds * 1000;
    struct pollfd pfd = {.fd = lcache_linux_fd(), .events = POLLIN};
    for (;;) {
        int timeout = -1;
        if (deadline >= 0) {
            long long left = deadline - now_ms();
            if (left <= 0)
                return 0;
            timeout = (int)left;
        }
        int ready = poll(&pfd, 1, timeout);
        if (ready < 0 && errno != EINTR) {
            perror("poll");
            return 1;
        }
        if (ready <= 0)
            continue;
        int handled = lcache_linux_dispatch();
        if (handled < 0) {
            fprintf(stderr, "linux_client: dispatch: %s\n", strerror(-handled));
            return 1;
        }
        report_changes(list, count);
        fflush(stdout);
    }
}

int main(int argc, char **argv) {
    long seconds = argc > 1 ? strtol(argv[1], NULL, 10) : -1;
    lcache_attr attr = {0};
    /* Keep the translation and state attributes; the rest is asked each
     * time. */
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LINKUP |
                     LCACHE_ATTR_PROTOUP | LCACHE_ATTR_MTU;
    attr.crit_mask = attr.sync_mask;
    if (lcache_init(&attr) != 1) {
        fprintf(stderr, "linux_client: the cache did not start\n");
        return 1;
    }
    int opened = lcache_linux_open();
    if (opened < 0) {
        fprintf(stderr, "linux_client: rtnetlink: %s\n", strerror(-opened));
        lcache_cleanup();
        return 1;
    }
    /* Without the warm start every first question would ask the kernel;
     * the cache still works, so a failure is only reported. */
    int synced = lcache_linux_sync();
    if (synced < 0)
        fprintf(stderr, "linux_client: sync: %s\n", strerror(-synced));
    lcache_linux_counters_t counters;
    lcache_linux_get_counters(&counters);
    size_t count = 0;
    watched_t *list = list_interfaces(&count);
    lcache_linux_counters_t after;
    lcache_linux_get_counters(&after);
    printf("started warm: %d interfaces from %llu round trips; "
           "listing them asked the kernel %llu times\n",
           synced, (unsigned long long)counters.round_trips,
           (unsigned long long)(after.round_trips - counters.round_trips));
    for (size_t i = 0; i < count; ++i)
        print_interface(&list[i]);
    printf("watching %zu interfaces\n", count);
    fflush(stdout);
    int status = watch(list, count, seconds);
    free(list);
    lcache_linux_close();
    lcache_cleanup();
    return status;
}
