// SPDX-License-Identifier: MIT
// What a client reads about an interface, from the cache and from the
// kernel, and the check that the two agree.
#pragma once

#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "lcache.h"
#include "lcache_linux.h"
#include "netif.h"

namespace hosttest {

struct Answers {
    uint32_t linkup = 0, protoup = 0, switchport = 0, mtu = 0;
    std::array<uint8_t, 6> mac{};
    std::string name;
    bool operator==(const Answers &) const = default;
};

inline void PrintTo(const Answers &a, std::ostream *os) {
    *os << a.name << " link " << a.linkup << " proto " << a.protoup << " switchport "
        << a.switchport << " mtu " << a.mtu << " mac";
    for (uint8_t byte : a.mac)
        *os << ' ' << std::hex << unsigned{byte} << std::dec;
}

// The cache's answers (a question about an interface it does not hold
// creates the entry).
inline Answers cached_answers(uint32_t iod) {
    Answers a;
    a.linkup = lcache_netif_is_linkup(iod);
    a.protoup = lcache_netif_is_protoup(iod);
    a.switchport = lcache_netif_is_switchport(iod);
    a.mtu = lcache_netif_get_if_mtu(iod);
    if (const uint8_t *mac = lcache_netif_get_if_mac_addr(iod))
        std::copy_n(mac, a.mac.size(), a.mac.begin());
    if (const char *name = lcache_netif_get_if_name(iod))
        a.name = name;
    return a;
}

// The kernel's answers: names, MTUs and addresses by ioctl; the flags by
// the peers, which ask the kernel afresh only while the bridge is closed.
inline Answers kernel_answers(uint32_t iod) {
    Answers a;
    a.linkup = netif_is_linkup(iod);
    a.protoup = netif_is_protoup(iod);
    a.switchport = netif_is_switchport(iod);
    ifreq request{};
    if (!if_indextoname(iod, request.ifr_name))
        return a;
    a.name = request.ifr_name;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (ioctl(fd, SIOCGIFMTU, &request) == 0)
        a.mtu = std::min(request.ifr_mtu, 0xFFFF); // lo's 65536 does not fit 16 bits
    if (ioctl(fd, SIOCGIFHWADDR, &request) == 0)
        std::copy_n(reinterpret_cast<const uint8_t *>(request.ifr_hwaddr.sa_data), a.mac.size(),
                    a.mac.begin());
    close(fd);
    return a;
}

// Every interface of the namespace, lo included.
inline std::vector<uint32_t> kernel_iods() {
    std::vector<uint32_t> iods;
    struct if_nameindex *all = if_nameindex();
    for (struct if_nameindex *one = all; one && one->if_index; ++one)
        iods.push_back(one->if_index);
    if_freenameindex(all);
    std::sort(iods.begin(), iods.end());
    return iods;
}

// The iod of every entry the cache holds.
inline std::vector<uint32_t> cached_iods() {
    std::vector<uint32_t> iods;
    ht_iterator_t it;
    if (lcache.if_table.num_entries &&
        ht_iterator_init(&it, &lcache.if_table, 0, lcache.if_table.num_buckets)) {
        while (auto *entry = static_cast<lcache_if_entry_t *>(ht_iterator_next(&it, 0)))
            iods.push_back(entry->iod);
    }
    std::sort(iods.begin(), iods.end());
    return iods;
}

// The round trips to the kernel that `ask` makes.
template <typename F> uint64_t round_trips_of(F &&ask) {
    lcache_linux_counters_t before, after;
    lcache_linux_get_counters(&before);
    ask();
    lcache_linux_get_counters(&after);
    return after.round_trips - before.round_trips;
}

// The ifindex of an Ethernet-framed link (a veth end): its type code over
// its kernel ifindex.
constexpr uint32_t ethernet_ifindex(uint32_t iod) { return 26u << 24 | iod; }

inline bool is_cached(uint32_t if_index) {
    return ht_lookup(&lcache.if_table, &if_index) != nullptr;
}

// Leaves the bridge's socket room for a message or two, so that a burst of
// changes overruns it for real.
inline void shrink_receive_buffer() {
    int tiny = 1; // the kernel raises it to its minimum
    ASSERT_EQ(setsockopt(lcache_linux_fd(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny), 0);
}

// Dispatches until nothing has arrived for a while: whatever the kernel
// still reports from its work queue is in by then.
inline void dispatch_until_quiet() {
    for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, 100) > 0;)
        EXPECT_GE(lcache_linux_dispatch(), 0);
}

// The cache answers every one of `iods` without asking the kernel, and
// answers what the kernel says.  An all-zero MAC (lo's) is, by the cache's
// rule, not final and asked again: the peers keep it until the next
// dispatch, so it costs one round trip at most.  Closes the bridge, so
// that the peers ask the kernel afresh.
inline void expect_answers_match_kernel(const std::vector<uint32_t> &iods) {
    constexpr std::array<uint8_t, 6> kNoMac{};
    std::vector<Answers> cached;
    uint64_t trips = round_trips_of([&] {
        for (uint32_t iod : iods)
            cached.push_back(cached_answers(iod));
    });
    bool zero_mac = std::any_of(cached.begin(), cached.end(),
                                [&](const Answers &a) { return a.mac == kNoMac; });
    EXPECT_LE(trips, zero_mac ? 1u : 0u) << "a cached answer asked the kernel";
    lcache_linux_close();
    for (size_t i = 0; i < iods.size(); ++i)
        EXPECT_EQ(cached[i], kernel_answers(iods[i])) << "iod " << iods[i];
}

} // namespace hosttest
