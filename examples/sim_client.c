/* SPDX-License-Identifier: MIT */
/* A client of liblcache whose peers are the simulated switch.  It loads
 * the switch's default leaf (one call: the switch starts empty), starts
 * the cache, and asks what only real peers can answer.  It prints the
 * answers and exits 0 only when they came from the simulated switch; with
 * liblcache's own fallbacks in the peers' place the port index would come
 * back as status 99 and the LIF as "none". */
#include <stdio.h>

#include <lcache.h>
#include <sim/sim_c.h>

enum { FIRST_ETHERNET_IOD = 2, ETHERNET_TYPE = 26 };

static int check(int ok, const char *what)
{
    if (!ok)
        fprintf(stderr, "sim_client: %s\n", what);
    return ok;
}

int main(void)
{
    if (!check(sim_load_leaf_switch() != 0, "the simulated switch could not be loaded"))
        return 1;
    lcache_attr attr = {0};
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF | LCACHE_ATTR_LINKUP;
    if (!check(lcache_init(&attr) == 1, "lcache_init failed"))
        return 1;

    uint32_t if_index = 0, port = LCACHE_NO_PI, lif = LCACHE_NO_LIF, back = 0;
    int ok = check(lcache_netif_get_ifindex_frm_iod(FIRST_ETHERNET_IOD, &if_index) == 0 &&
                       if_index >> 24 == ETHERNET_TYPE,
                   "iod 2 is not an Ethernet port") &&
             check(lcache_dmap_lib_ifidx_to_di(if_index, &port) == 0 && port != LCACHE_NO_PI,
                   "no port index: the index mapper's fallback answered") &&
             check(lcache_dmap_lib_si_to_ifidx(port, &back) == 0 && back == if_index,
                   "the port index does not lead back to the port") &&
             check(lcache_lifsvc_query_ifindex_to_lif(if_index, &lif) == 0 && lif != LCACHE_NO_LIF,
                   "no LIF: the LIF manager's fallback answered");
    if (ok)
        printf("%s: ifindex 0x%x, port index %u, LIF %u, link %s\n",
               lcache_netif_get_if_name(FIRST_ETHERNET_IOD), (unsigned)if_index, (unsigned)port,
               (unsigned)lif, lcache_netif_is_linkup(FIRST_ETHERNET_IOD) ? "up" : "down");
    lcache_cleanup();
    return ok ? 0 : 1;
}
