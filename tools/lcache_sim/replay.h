// SPDX-License-Identifier: MIT
// `lcache-sim replay FILE`: a scenario, one command per line, carried out
// on a simulated switch and the cache, with a trace on standard output:
// each command echoed after "> ", what it did indented below it, and the
// cache's own traces after "| " (errors after "! ").  Addresses are shown
// as what they point at, so a scenario traces alike on every run.  The
// commands are listed by `lcache-sim replay --help` (main.cc); examples/
// has scenarios with their traces.
//
// Each change to the switch lists the notifications the switch sends about
// it ("pending"); they reach the cache only with `notify`, and `drop` loses
// them.  A query shows the cache's answer, the peer's, and the peer calls
// the cache made.
#pragma once

#include <string>

#include "switchboard.h"

namespace lcsim {

struct ReplayOptions {
    std::string file;
    PeerMode peers = PeerMode::inproc;
    std::string socket;
    uint32_t ipc_timeout_ms = kDefaultIpcTimeoutMs;
};

// The exit status: 0, tooluse::kExitFailed when an answer disagreed with the
// peer's, tooluse::kExitMisuse for a file that cannot be read (with the reason) or
// a line that cannot be carried out (with "file:line: message" on standard
// error).
int replay(const ReplayOptions &options);

} // namespace lcsim
