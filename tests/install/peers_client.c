/* A client built the way the README tells users to build one.  It asks
 * questions only the simulated peers can answer: with liblcache's own
 * fallbacks in their place the port index comes back as status 99 and the
 * LIF as "success, none". */
#include <stdio.h>

#include "lcache.h"
#include "sim/sim_c.h"

enum { FIRST_ETHERNET_IOD = 2, ETHERNET_TYPE = 26 };

static int check(int ok, const char *what) {
    if (!ok)
        fprintf(stderr, "peers_client: %s\n", what);
    return ok;
}

int main(void) {
    if (!check(sim_load_leaf_switch() != 0, "no simulated switch"))
        return 1;
    lcache_attr attr = {0};
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF;
    if (!check(lcache_init(&attr) == 1, "lcache_init failed"))
        return 1;

    uint32_t if_index = 0, di = LCACHE_NO_PI, lif = LCACHE_NO_LIF, back = 0;
    int ok = check(lcache_netif_get_ifindex_frm_iod(FIRST_ETHERNET_IOD, &if_index) == 0 &&
                       if_index >> 24 == ETHERNET_TYPE,
                   "iod 2 is not an Ethernet port") &&
             check(lcache_dmap_lib_ifidx_to_di(if_index, &di) == 0 && di != LCACHE_NO_PI,
                   "no port index: the index mapper's fallback answered") &&
             check(lcache_dmap_lib_si_to_ifidx(di, &back) == 0 && back == if_index,
                   "the port index does not lead back to the port") &&
             check(lcache_lifsvc_query_ifindex_to_lif(if_index, &lif) == 0 && lif != LCACHE_NO_LIF,
                   "no LIF: the LIF manager's fallback answered");
    lcache_cleanup();
    if (ok)
        printf("ifindex 0x%x: port index %u, LIF %u\n", (unsigned)if_index, (unsigned)di,
               (unsigned)lif);
    return ok ? 0 : 1;
}
