// SPDX-License-Identifier: MIT
// `lcache-sim run`: a simulated switch driven through the cache.
#pragma once

#include <string>

#include "cache_settings.h"
#include "exit_status.h"
#include "sim/leaf.h"
#include "switchboard.h"
#include "workload.h"

namespace lcsim {

struct RunOptions {
    sim::LeafOptions leaf;
    CacheSettings cache;
    WorkloadOptions workload;
    PeerMode peers = PeerMode::inproc;
    std::string socket; // with ipc: a standalone server's socket
    uint32_t ipc_timeout_ms = kDefaultIpcTimeoutMs;
    bool json = false;
    bool report = true;   // the cache's own report before the summary
    bool progress = true; // the bar, when standard error is a terminal
};

// Runs the workload and prints the report and the summary; the process's
// exit status.
int run(const RunOptions &options);

} // namespace lcsim
