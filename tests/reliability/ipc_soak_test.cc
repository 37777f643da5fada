// SPDX-License-Identifier: MIT
// A long run with the switch served in another process, as `lcache-sim run
// --peers ipc` has it: each round asks the peers directly and through the
// cache about every interface, flips one port's link with its
// notifications delivered, and now and then flushes the cache.  Every
// request must be answered, every cached answer must agree with the
// peer's, and once warm neither process may grow.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lcache.h"
#include "mtrack.h"
#include "netif.h"
#include "sim/ipc_client.h"
#include "sim/ipc_server.h"
#include "sim/lcache_delivery.h"
#include "sim/leaf.h"
#include "sim/peer_calls.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

// Resident memory of a process in KiB.
uint64_t resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmRSS:"))
            return std::stoull(line.substr(std::strlen("VmRSS:")));
    return 0;
}

constexpr int kRounds = 80;
constexpr int kWarmRounds = 20;
constexpr int kFlushEvery = 16;
// Room for the allocator's page-sized steps.  A leak of 8 bytes per request
// would outgrow it within the rounds after the warm ones.
constexpr uint64_t kSlackKib = 512;

// AddressSanitizer and memcheck both keep freed blocks aside and add shadow
// memory, so resident memory grows with the work done; they watch for leaks
// themselves instead.
bool resident_memory_tells() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return RUNNING_ON_VALGRIND == 0;
#endif
}

struct Sizes {
    uint64_t server_kib, client_kib, cache_bytes;
};

uint64_t cache_bytes() {
    mtrack_usage_t ifs, vlans;
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &ifs);
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_vlan_entry_t, &vlans);
    return ifs.live_bytes + vlans.live_bytes;
}

uint64_t peer_requests() {
    uint64_t sum = 0;
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        if (!sim::answered_locally(static_cast<sim::PeerFn>(fn)))
            sum += sim::call_count(static_cast<sim::PeerFn>(fn));
    return sum;
}

class IpcSoak : public ::testing::Test {
  protected:
    IpcSoak() : client_(server_.take_client_fd()), backend_(client_, replica_) {
        client_.build(leaf_);
        replica_ = sim::build_leaf_switch(leaf_);
        sim::set_active_backend(&backend_);
        sim::reset_call_counts();
    }
    ~IpcSoak() override {
        lcache_cleanup();
        sim::set_active_backend(nullptr);
    }

    // Every interface asked about directly and through the cache.
    void ask_everything() {
        for (const auto &[ifindex, itf] : replica_.interfaces()) {
            const uint32_t iod = itf.iod;
            EXPECT_EQ(lcache_netif_is_linkup(iod), netif_is_linkup(iod)) << itf.name;
            EXPECT_EQ(lcache_netif_get_if_mtu(iod), netif_get_if_mtu(iod)) << itf.name;
            uint32_t cached = 0, direct = 0;
            EXPECT_EQ(lcache_netif_get_iod_frm_ifindex(ifindex, &cached),
                      netif_get_iod_frm_ifindex(ifindex, &direct));
            EXPECT_EQ(cached, direct) << itf.name;
            ++asked_;
        }
    }

    void flip_link(sim::IfIndex port) {
        const sim::Change change{.kind = sim::ChangeKind::set_link,
                                 .target = port,
                                 .arg1 = replica_.at(port).linkup ? 0u : 1u};
        const sim::Applied here = sim::apply_change(replica_, change);
        ASSERT_EQ(client_.apply(change), here);
        sim::deliver_all(here.sent);
        notifications_ += here.sent.size();
    }

    Sizes sizes() const {
        return {resident_kib(server_.pid()), resident_kib(getpid()), cache_bytes()};
    }

    sim::LeafOptions leaf_;
    sim::ipc::ServerProcess server_;
    sim::ipc::Client client_;
    sim::Switch replica_;
    sim::ipc::RemoteBackend backend_;
    uint64_t asked_ = 0, notifications_ = 0;
};

TEST_F(IpcSoak, EveryRequestIsAnsweredAndMemoryStaysFlat) {
    lcache_attr attr{};
    attr.sync_mask = 0xFFFFFFFF;
    ASSERT_EQ(lcache_init(&attr), 1u);
    std::vector<sim::IfIndex> ports;
    for (const auto &[ifindex, itf] : replica_.interfaces())
        if (itf.type == sim::IfType::ethernet)
            ports.push_back(ifindex);
    ASSERT_FALSE(ports.empty());

    Sizes warm{}, most{};
    for (int round = 0; round < kRounds; ++round) {
        ask_everything();
        flip_link(ports[static_cast<size_t>(round) % ports.size()]);
        if (round % kFlushEvery == kFlushEvery - 1)
            lcache_if_flush_all(3);
        ASSERT_EQ(client_.failure(), "");
        if (HasFailure())
            return;
        const Sizes now = sizes();
        if (round == kWarmRounds - 1)
            warm = most = now;
        if (round >= kWarmRounds)
            most = {std::max(most.server_kib, now.server_kib),
                    std::max(most.client_kib, now.client_kib),
                    std::max(most.cache_bytes, now.cache_bytes)};
    }
    std::cout << peer_requests() << " peer requests, " << asked_ << " interfaces asked about, "
              << notifications_ << " notifications; server " << warm.server_kib << " -> "
              << most.server_kib << " KiB, client " << warm.client_kib << " -> " << most.client_kib
              << " KiB, cache " << warm.cache_bytes << " -> " << most.cache_bytes << " bytes\n";
    EXPECT_EQ(most.cache_bytes, warm.cache_bytes) << "the cache holds the same interfaces";
    if (resident_memory_tells()) {
        EXPECT_LE(most.server_kib, warm.server_kib + kSlackKib) << "the server grew";
        EXPECT_LE(most.client_kib, warm.client_kib + kSlackKib) << "the client grew";
    }
}

} // namespace
