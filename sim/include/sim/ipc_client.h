// SPDX-License-Identifier: MIT
// The client's side of a switch served in another process: a connection
// that controls the served switch, and a PeerBackend whose every call is
// one request and one answer over that connection, as peer services are
// reached in a real switch operating system.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "sim/ipc_protocol.h"
#include "sim/model_backend.h"

namespace sim::ipc {

// How long a client waits for the server's greeting and for each answer
// unless told otherwise.
inline constexpr std::chrono::milliseconds kDefaultAnswerTimeout{10000};

class Client {
  public:
    // `fd`: a connected Unix stream socket, owned from now on.  Waits for
    // the server's greeting; throws LinkError when it refuses this client
    // or does not greet within `timeout`, the limit of every answer after.
    explicit Client(int fd, std::chrono::milliseconds timeout = kDefaultAnswerTimeout);
    // Connects to a server listening at `path`; throws LinkError.
    static Client connect(const std::string &path,
                          std::chrono::milliseconds timeout = kDefaultAnswerTimeout);

    // Replaces the served switch by a leaf built with `leaf`, or by an
    // empty switch.  Throws ModelError when the leaf does not fit.
    void build(const std::optional<LeafOptions> &leaf);
    // Throws ModelError with the server's message when the model refuses.
    Applied apply(const Change &change);

    // Sends `request` and returns a reader over the results of an
    // Answer::ok, valid until the next request.  Throws LinkError, and
    // ModelError for a refused change.  Once the link has failed, every
    // later request fails at once: a half-read answer cannot be resynced.
    Reader transact(Writer &request);

    // Why the link failed; empty while it works.
    const std::string &failure() const { return failure_; }
    // The time spent in transact() so far: requests sent and answers
    // awaited.
    std::chrono::nanoseconds round_trip_time() const { return round_trip_time_; }

  private:
    // The next answer's frame, within the timeout; records a failure.
    void await_answer(Clock::time_point deadline);
    // The reader past an ok code; throws for the other codes.
    Reader results();

    Channel channel_;
    std::chrono::milliseconds timeout_;
    std::vector<uint8_t> answer_;
    std::string failure_;
    std::chrono::nanoseconds round_trip_time_{};
};

// The functions answered locally (sim::answered_locally) are answered
// from `here`, the switch as this process knows it; every other call is a
// round trip.
class RemoteBackend : public PeerBackend {
  public:
    // `client` and `here` must outlive the backend.
    explicit RemoteBackend(Client &client, const Switch &here = default_switch())
        : client_(client), here_(here) {}

    SIM_PEER_OVERRIDES

  private:
    template <class Result, class... Args> Result call(PeerFn fn, const std::tuple<Args...> &args);

    Client &client_;
    ModelBackend here_;
};

} // namespace sim::ipc
