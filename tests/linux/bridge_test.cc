// The notification bridge's population rules, its overrun recovery, its
// descriptor hygiene, and the peers' answers where Linux has no
// counterpart or no interface.
#include <dirent.h>
#include <sys/socket.h>

#include "host_fixture.h"
#include "if_index.h"
#include "netif.h"

namespace hosttest {
namespace {

uint32_t ifindex_of(uint32_t iod) {
    uint32_t if_index = 0;
    EXPECT_EQ(lcache_netif_get_ifindex_frm_iod(iod, &if_index), 0u);
    return if_index;
}

bool cached(uint32_t if_index) { return ht_lookup(&lcache.if_table, &if_index) != nullptr; }

TEST_F(HostTest, DeletionRemovesTheEntry) {
    uint32_t port = veth_up("port1", "peer1");
    uint32_t if_index = ifindex_of(port);
    ASSERT_TRUE(cached(if_index));
    dispatch();
    ASSERT_EQ(control.remove(port), 0);
    EXPECT_GT(dispatch(), 0);
    EXPECT_FALSE(cached(if_index));
    EXPECT_EQ(lcache.stats.if_frees, lcache.stats.if_allocs);
}

TEST_F(HostTest, NotificationsAboutUncachedInterfacesAreSkipped) {
    veth_up("port1", "peer1");
    EXPECT_EQ(dispatch(), 0);
    EXPECT_GT(counters().messages_skipped, 0u);
    EXPECT_EQ(lcache.stats.if_allocs, 0u) << "a notification created an entry";
}

TEST_F(HostTest, AnOverrunFlushesEverythingAndAnswersStayRight) {
    uint32_t port = veth_up("port1", "peer1");
    ASSERT_EQ(lcache_netif_get_if_mtu(port), 1500u);
    dispatch();
    int tiny = 1; // the kernel rounds it up to its minimum
    ASSERT_EQ(setsockopt(lcache_linux_fd(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
    for (uint32_t mtu = 1300; mtu < 1340; ++mtu)
        ASSERT_EQ(control.set_mtu(port, mtu), 0);
    dispatch();
    EXPECT_GE(counters().overruns, 1u);
    EXPECT_EQ(lcache_netif_get_if_mtu(port), 1339u);
    EXPECT_EQ(lcache_netif_is_linkup(port), 1u);
}

size_t open_descriptors() {
    size_t n = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (readdir(dir))
        ++n;
    closedir(dir);
    return n;
}

TEST_F(HostTest, OpenCloseCyclesLeaveNoDescriptor) {
    lcache_linux_close();
    size_t before = open_descriptors();
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(lcache_linux_open(), 0);
        EXPECT_EQ(lcache_linux_open(), -EALREADY);
        EXPECT_GE(lcache_linux_fd(), 0);
        EXPECT_EQ(netif_is_loopback(if_nametoindex("lo")), 1u); // opens the request socket
        lcache_linux_close();
        EXPECT_EQ(lcache_linux_fd(), -EBADF);
        EXPECT_EQ(lcache_linux_dispatch(), -EBADF);
    }
    EXPECT_EQ(open_descriptors(), before);
    ASSERT_EQ(lcache_linux_open(), 0);
}

TEST_F(HostTest, AMissingInterfaceAnswersNotFound) {
    uint32_t out = 0;
    EXPECT_EQ(netif_get_ifindex_frm_iod(4000, &out), LCACHE_LINUX_NO_INTERFACE);
    EXPECT_EQ(netif_get_iod_frm_ifindex(26u << 24 | 4000, &out), LCACHE_LINUX_NO_INTERFACE);
    EXPECT_EQ(netif_get_if_name(4000), nullptr);
    EXPECT_EQ(lcache_netif_get_if_mtu(4000), 0u);
    EXPECT_EQ(lcache.stats.if_allocs, 0u);
}

TEST_F(HostTest, AnIfindexOfTheWrongTypeIsNotFound) {
    uint32_t port = veth_up("port1", "peer1");
    uint32_t iod = 0;
    EXPECT_EQ(netif_get_iod_frm_ifindex(26u << 24 | port, &iod), 0u);
    EXPECT_EQ(iod, port);
    EXPECT_EQ(netif_get_iod_frm_ifindex(22u << 24 | port, &iod), LCACHE_LINUX_NO_INTERFACE);
}

TEST_F(HostTest, LoopbackAnswersWhatAClientCanRelyOn) {
    uint32_t lo = if_nametoindex("lo");
    uint8_t type = 0;
    EXPECT_EQ(if_index_get_type(ifindex_of(lo), &type), 0u);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(lcache_netif_is_loopback(lo), 1u);
    EXPECT_EQ(lcache_netif_get_if_mtu(lo), 0xFFFFu) << "65536 does not fit 16 bits";
    EXPECT_STREQ(lcache_netif_get_if_name(lo), "lo");
}

TEST_F(HostTest, TheLinuxPeersReplaceTheFallbacks) {
    uint32_t port = veth_up("port1", "peer1");
    uint32_t if_index = ifindex_of(port), lif = LCACHE_NO_LIF, di = LCACHE_NO_PI, back = 0;
    EXPECT_EQ(lcache_lifsvc_query_ifindex_to_lif(if_index, &lif), 0u);
    EXPECT_EQ(lif, 0x1000u + port);
    EXPECT_EQ(lcache_dmap_lib_ifidx_to_di(if_index, &di), 0u);
    EXPECT_EQ(di, port);
    EXPECT_EQ(lcache_lifsvc_query_lif_to_ifindex(lif, &back), 0u);
    EXPECT_EQ(back, if_index);
}

} // namespace
} // namespace hosttest
