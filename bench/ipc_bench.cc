// SPDX-License-Identifier: MIT
// The uncached peer path over IPC: the boolean query answered by a
// simulated switch served in a child process, one request and one answer
// over a Unix stream socket per query, as a peer service is reached in the
// real system.  The served switch is a leaf of N Ethernet ports; keys are
// drawn at random over its first N iods (the working set stays hot in the
// server, so this is the cheapest a remote answer gets).
#include <benchmark/benchmark.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/ipc_client.h"
#include "sim/ipc_server.h"
#include "sim/leaf.h"
#include "suites.h"
#include "world.h"

namespace bench {

namespace {

void ipc_linkup(benchmark::State &state, uint32_t ports) {
    sim::ipc::ServerProcess server;
    sim::ipc::Client client(server.take_client_fd());
    sim::LeafOptions leaf;
    leaf.ethernet_ports = ports;
    client.build(leaf);
    sim::ipc::RemoteBackend backend(client);

    std::mt19937 rng(ports);
    std::uniform_int_distribution<uint32_t> iod(1, ports);
    std::vector<uint32_t> keys(kDraws);
    for (uint32_t &key : keys)
        key = iod(rng);
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(backend.netif_is_linkup(keys[i]));
        i = (i + 1) & (kDraws - 1);
    }
}

} // namespace

// The server builds only leaves, and a leaf's module holds 4 095 Ethernet
// ports: the larger sizes have no remote switch to ask.
constexpr uint32_t kMaxLeafPorts = 4095;

void register_ipc_benchmarks(uint32_t ports) {
    if (ports > kMaxLeafPorts)
        return;
    benchmark::RegisterBenchmark(("hit/linkup/peer_ipc/" + std::to_string(ports)).c_str(),
                                 ipc_linkup, ports);
}

} // namespace bench
