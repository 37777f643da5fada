// The simulated switch as a server process: a model of its own, changed
// and rebuilt on request, answering every peer call from a ModelBackend.
// It serves one client and exits when that client goes away.
#pragma once

#include <sys/types.h>

#include <string>

namespace sim::ipc {

// Serves the client connected on `fd` (owned) until it goes away: it
// closes its end, or dies.  Returns the process's exit status: 0 then, 1
// when the link failed otherwise or the client broke the protocol.
int serve(int fd);

// Listens on the Unix socket `path`, serves the first client that
// connects, and removes the path once that client is connected.  Throws
// LinkError when it cannot listen.
int serve_at(const std::string &path);

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
