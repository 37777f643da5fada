// SPDX-License-Identifier: MIT
// The switch server: requests in, answers out, one client at a time.
#include "sim/ipc_server.h"

#include <signal.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>

#include "sim/ipc_protocol.h"
#include "sim/model_backend.h"

namespace sim::ipc {
namespace {

template <class Result, class... Args>
void answer(Result (PeerBackend::*method)(Args...), PeerBackend &backend, Reader &in, Writer &out) {
    std::tuple<std::remove_cvref_t<Args>...> args;
    std::apply([&](auto &...arg) { (get(in, arg), ...); }, args);
    in.expect_end();
    const Result result = std::apply([&](auto &...arg) { return (backend.*method)(arg...); }, args);
    put(out, static_cast<uint8_t>(Answer::ok));
    put(out, result);
}

void answer_peer_call(PeerFn fn, PeerBackend &backend, Reader &in, Writer &out) {
    switch (fn) {
#define SIM_IPC_ANSWER(name, ...)                                                                  \
    case PeerFn::name: answer(&PeerBackend::name, backend, in, out); return;
        SIM_PEER_FUNCTIONS(SIM_IPC_ANSWER)
#undef SIM_IPC_ANSWER
    }
}

class Server {
  public:
    Server() : backend_(model_) {}

    // One request's answer; a request the model refuses is answered
    // "refused", one that cannot be read or carried out "failed", and the
    // server goes on.
    Writer handle(const std::vector<uint8_t> &request) {
        Reader in(request);
        Writer out;
        try {
            uint8_t op = 0;
            get(in, op);
            if (op < kPeerFnCount)
                answer_peer_call(static_cast<PeerFn>(op), backend_, in, out);
            else
                control(static_cast<Op>(op), in, out);
        } catch (const ModelError &e) {
            out = failure(Answer::refused, e.what());
        } catch (const LinkError &e) {
            out = failure(Answer::failed, std::string("bad request: ") + e.what());
        } catch (const std::exception &e) {
            out = failure(Answer::failed, e.what());
        }
        return out;
    }

    static Writer failure(Answer code, std::string_view message) {
        Writer out;
        put(out, static_cast<uint8_t>(code));
        put(out, message);
        return out;
    }

  private:
    void control(Op op, Reader &in, Writer &out) {
        switch (op) {
        case Op::build: {
            bool leaf = false;
            get(in, leaf);
            LeafOptions options;
            if (leaf)
                get(in, options);
            in.expect_end();
            model_ = leaf ? build_leaf_switch(options) : Switch();
            put(out, static_cast<uint8_t>(Answer::ok));
            return;
        }
        case Op::apply: {
            Change change;
            get(in, change);
            in.expect_end();
            const Applied applied = apply_change(model_, change);
            put(out, static_cast<uint8_t>(Answer::ok));
            put(out, applied);
            return;
        }
        }
        throw LinkError("request " + std::to_string(static_cast<int>(op)) + " does not exist");
    }

    Switch model_;
    ModelBackend backend_;
};

void log(const std::string &line) { std::fprintf(stderr, "switch server: %s\n", line.c_str()); }

// SIGINT and SIGTERM, blocked except while the server waits, so that a
// stop is seen between two requests and never lost.
volatile sig_atomic_t stop_requested = 0;

class StopSignals {
  public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = [](int) { stop_requested = 1; };
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGINT, SIGTERM})
            sigaction(signal, &action, nullptr);
        sigset_t stops;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        sigprocmask(SIG_BLOCK, &stops, &waiting_);
        sigdelset(&waiting_, SIGINT);
        sigdelset(&waiting_, SIGTERM);
    }
    const sigset_t *while_waiting() const { return &waiting_; }

  private:
    sigset_t waiting_;
};

// Where a served client comes from: the listening socket that may bring
// more clients meanwhile, and the signals that stop the server.
struct Origin {
    int listener = -1;
    const StopSignals *stops = nullptr;
    std::chrono::milliseconds idle_timeout{0}; // 0: a client may stay silent for ever
};

// A client that comes while another is served is told so and let go.
void turn_away(int listener, std::chrono::milliseconds frame_timeout) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    Channel channel(fd);
    Writer refusal = Server::failure(Answer::failed, "serving another client; it serves one at a time");
    try {
        channel.send(refusal, Clock::now() + frame_timeout);
    } catch (const LinkError &) {
        return; // it has gone already
    }
    log("turned away a second client");
}

enum class Awaited { request, stop, idle };

// The time left until `deadline`, for ppoll; NULL (no limit) without one.
const timespec *time_left(Clock::time_point deadline, bool limited, timespec &left) {
    if (!limited)
        return nullptr;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::max(deadline - Clock::now(), Clock::duration::zero()));
    left.tv_sec = static_cast<time_t>(ns.count() / 1000000000);
    left.tv_nsec = static_cast<long>(ns.count() % 1000000000);
    return &left;
}

// Waits for the next request of `channel`, turning other clients away
// meanwhile, until a stop signal comes or the client has been silent for
// the origin's idle timeout.
Awaited await_request(const Channel &channel, const Origin &origin,
                      std::chrono::milliseconds frame_timeout) {
    if (channel.buffered())
        return Awaited::request;
    const bool limited = origin.idle_timeout.count() > 0;
    const Clock::time_point deadline = Clock::now() + origin.idle_timeout;
    for (;;) {
        pollfd fds[2] = {{channel.fd(), POLLIN, 0}, {origin.listener, POLLIN, 0}};
        const nfds_t count = origin.listener < 0 ? 1 : 2;
        timespec left{};
        const int n = ::ppoll(fds, count, time_left(deadline, limited, left),
                              origin.stops ? origin.stops->while_waiting() : nullptr);
        if (stop_requested)
            return Awaited::stop;
        if (n == 0)
            return Awaited::idle;
        if (n < 0 && errno != EINTR)
            throw LinkError(std::string("cannot wait for requests: ") + std::strerror(errno));
        // The client first: one that has just left makes way for the
        // newcomer rather than see it turned away.
        if (n > 0 && fds[0].revents != 0)
            return Awaited::request;
        if (n > 0 && fds[1].revents != 0)
            turn_away(origin.listener, frame_timeout);
    }
}

int serve_client(int fd, const Origin &origin, std::chrono::milliseconds frame_timeout) {
    Channel channel(fd);
    Server server;
    try {
        Writer greeting;
        put(greeting, static_cast<uint8_t>(Answer::ok));
        channel.send(greeting, Clock::now() + frame_timeout);
        for (;;) {
            switch (await_request(channel, origin, frame_timeout)) {
            case Awaited::stop: return 0;
            case Awaited::idle:
                log("dropped a client silent for " + std::to_string(origin.idle_timeout.count()) +
                    " ms");
                return 1;
            case Awaited::request: break;
            }
            auto request = channel.receive(Clock::now() + frame_timeout);
            if (!request)
                return 0;
            Writer answer = server.handle(*request);
            channel.send(answer, Clock::now() + frame_timeout);
        }
    } catch (const LinkClosed &) {
        return 0; // the client went away mid-request: killed, most likely
    } catch (const LinkTimeout &e) {
        log(std::string("dropped a client: ") + e.what() + " for " +
            std::to_string(frame_timeout.count()) + " ms");
        return 1;
    } catch (const LinkError &e) {
        log(std::string("dropped a client: ") + e.what());
        Writer failed = Server::failure(Answer::failed, e.what());
        try {
            channel.send(failed, Clock::now() + frame_timeout);
        } catch (const LinkError &) {
        }
        return 1;
    }
}

// The listening socket at a path, removed with it.
class Listener {
  public:
    explicit Listener(const std::string &path) : path_(path) {
        sockaddr_un address;
        fd_ = unix_socket(path, address);
        if (!bind_to(address)) {
            const int error = errno;
            close(fd_);
            throw LinkError("cannot listen on " + path + ": " + std::strerror(error));
        }
    }
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;
    ~Listener() {
        close(fd_);
        ::unlink(path_.c_str());
    }
    int fd() const { return fd_; }

  private:
    bool bind_to(const sockaddr_un &address) {
        const auto *where = reinterpret_cast<const sockaddr *>(&address);
        if (::bind(fd_, where, sizeof address) != 0) {
            if (errno != EADDRINUSE || !stale(address))
                return false;
            ::unlink(path_.c_str());
            if (::bind(fd_, where, sizeof address) != 0)
                return false;
        }
        return ::listen(fd_, 16) == 0;
    }

    // A socket file that refuses connections: its server is gone.  Throws
    // when the file must stay.
    bool stale(const sockaddr_un &address) const {
        struct stat st {};
        if (::lstat(path_.c_str(), &st) != 0)
            return false;
        if (!S_ISSOCK(st.st_mode))
            throw LinkError("cannot listen on " + path_ + ": it exists and is not a socket");
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0)
            return false;
        const bool refused =
            ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 &&
            errno == ECONNREFUSED;
        close(probe);
        if (!refused)
            throw LinkError("cannot listen on " + path_ + ": another server is listening there");
        return true;
    }

    std::string path_;
    int fd_ = -1;
};

// The child of a fork: nothing of the parent's but the socket is used, and
// it leaves with _exit so the parent's atexit handlers and buffered output
// stay the parent's.
[[noreturn]] void run_child(int fd, pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(1);
    _exit(serve(fd));
}

} // namespace

int serve(int fd, std::chrono::milliseconds frame_timeout) {
    try {
        return serve_client(fd, Origin{}, frame_timeout);
    } catch (const std::exception &e) {
        log(e.what());
        return 1;
    }
}

int serve_at(const std::string &path, std::chrono::milliseconds frame_timeout,
             std::chrono::milliseconds idle_timeout) {
    const StopSignals stops;
    const Listener listener(path);
    const Origin origin{listener.fd(), &stops, idle_timeout};
    while (!stop_requested) {
        pollfd one{listener.fd(), POLLIN, 0};
        const int n = ::ppoll(&one, 1, nullptr, stops.while_waiting());
        if (n < 0 && errno != EINTR)
            throw LinkError(std::string("cannot wait for clients: ") + std::strerror(errno));
        if (n <= 0 || stop_requested)
            continue;
        const int client = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            serve_client(client, origin, frame_timeout);
    }
    return 0;
}

ServerProcess::ServerProcess() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw LinkError(std::string("cannot create a socket pair: ") + std::strerror(errno));
    // Output still buffered would be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        close(ends[0]);
        run_child(ends[1], parent);
    }
    close(ends[1]);
    if (pid_ < 0) {
        const int error = errno;
        close(ends[0]);
        throw LinkError(std::string("cannot start the switch server: ") + std::strerror(error));
    }
    client_fd_ = ends[0];
}

int ServerProcess::take_client_fd() { return std::exchange(client_fd_, -1); }

ServerProcess::~ServerProcess() {
    if (client_fd_ >= 0)
        close(client_fd_);
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace sim::ipc
