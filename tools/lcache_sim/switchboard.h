// SPDX-License-Identifier: MIT
// The switch a run or a replay drives, owned as the operating system owns
// it: its model, which the tool reads to plan changes and to name
// interfaces, and the changes made to it, each answered with the
// notifications the cache must be handed.  While a switchboard lives, every
// peer call of the process is answered from its switch.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sim/change.h"
#include "sim/leaf.h"

namespace lcsim {

enum class PeerMode {
    inproc, // peer calls go to the model directly
    ipc,    // the switch is a server process; each peer call is a round trip
};

class Switchboard {
  public:
    virtual ~Switchboard() = default;

    // The switch as it is now.
    virtual const sim::Switch &model() const = 0;
    // A new switch: a leaf built with `leaf`, or an empty one.  Throws
    // sim::ModelError when the leaf does not fit.
    virtual void build(const std::optional<sim::LeafOptions> &leaf) = 0;
    // Throws sim::ModelError when the model refuses the change.
    virtual sim::Applied apply(const sim::Change &change) = 0;
    // Throws std::runtime_error once peer calls can no longer be answered.
    virtual void check() const {}
    // The time peer calls have spent crossing to another process so far.
    virtual std::chrono::nanoseconds round_trip_time() const { return {}; }
};

// How long a client waits for each answer of the switch server by default.
inline constexpr uint32_t kDefaultIpcTimeoutMs = 10000;

// `socket`: with PeerMode::ipc, the path of a server started with
// `lcache-sim serve`; empty starts a server process of our own.  The
// server has `timeout_ms` for each answer.  Throws std::runtime_error when
// the server cannot be started or reached.
std::unique_ptr<Switchboard> open_switchboard(PeerMode mode, const std::string &socket,
                                              uint32_t timeout_ms = kDefaultIpcTimeoutMs);

} // namespace lcsim
