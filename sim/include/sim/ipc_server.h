// SPDX-License-Identifier: MIT
// The simulated switch as a server process: a model of its own for each
// client, changed and rebuilt on request, answering every peer call from a
// ModelBackend.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace sim::ipc {

// How long the rest of a request may take once its first byte has come,
// and how long a client may take to read an answer.
inline constexpr std::chrono::milliseconds kDefaultFrameTimeout{500};
// How long a served client may stay silent between requests while the
// server listens for others: one that connects and sends nothing must not
// hold the server for ever.
inline constexpr std::chrono::milliseconds kDefaultIdleTimeout{30000};

// Serves the client connected on `fd` (owned) until it goes away: it
// closes its end, or dies.  Returns the process's exit status: 0 then, 1
// when the link failed otherwise, or the client stalled or broke the
// framing (it is dropped, with a line on standard error).
int serve(int fd, std::chrono::milliseconds frame_timeout = kDefaultFrameTimeout);

// Listens on the Unix socket `path` and serves the clients that connect,
// one at a time, each on a new empty switch: a client that connects while
// another is served gets a failed greeting ("serving another client") and
// is let go.  A client that stalls, breaks the framing or stays silent
// longer than `idle_timeout` between requests is dropped with a line on
// standard error, and the server goes on.  A socket file at `path`
// that nothing listens on (left by a killed server) is replaced; any other
// file is not.  Returns 0 once SIGINT or SIGTERM stops it, having removed
// its socket file.  Throws LinkError when it cannot listen.
int serve_at(const std::string &path,
             std::chrono::milliseconds frame_timeout = kDefaultFrameTimeout,
             std::chrono::milliseconds idle_timeout = kDefaultIdleTimeout);

// A switch server in a child process of this one, connected to it through
// a socket pair.  The child also dies with this process (PR_SET_PDEATHSIG),
// should it be killed before the socket's end of file reaches the child.
class ServerProcess {
  public:
    // Throws LinkError when the child cannot be started.
    ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;
    // Waits for the child, which exits once every copy of the client's end
    // is closed; kills it if it has not after a few seconds.
    ~ServerProcess();

    // The client's end of the socket, handed over once.
    int take_client_fd();
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int client_fd_ = -1;
};

} // namespace sim::ipc
