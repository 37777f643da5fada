// SPDX-License-Identifier: MIT
// Peer calls and control requests sent to a switch server.
#include "sim/ipc_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim::ipc {

Client::Client(int fd, std::chrono::milliseconds timeout) : channel_(fd), timeout_(timeout) {
    await_answer(Clock::now() + timeout_);
    results().expect_end();
}

Client Client::connect(const std::string &path, std::chrono::milliseconds timeout) {
    sockaddr_un address;
    const int fd = unix_socket(path, address);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        throw LinkError("cannot connect to " + path + ": " + std::strerror(error));
    }
    return Client(fd, timeout);
}

void Client::await_answer(Clock::time_point deadline) {
    try {
        auto answer = channel_.receive(deadline);
        if (!answer)
            throw LinkError("the switch server closed the link");
        answer_ = std::move(*answer);
    } catch (const LinkTimeout &) {
        failure_ =
            "the switch server did not answer within " + std::to_string(timeout_.count()) + " ms";
        throw LinkTimeout(failure_);
    } catch (const LinkError &e) {
        failure_ = e.what();
        throw;
    }
}

Reader Client::results() {
    Reader reader(answer_);
    uint8_t code = 0;
    get(reader, code);
    if (code == static_cast<uint8_t>(Answer::ok))
        return reader;
    if (code >= kAnswerCount) {
        failure_ = "the switch server answered with unknown code " + std::to_string(code);
        throw LinkError(failure_);
    }
    std::string message;
    get(reader, message);
    if (code == static_cast<uint8_t>(Answer::refused))
        throw ModelError(message);
    throw LinkError("the switch server: " + message);
}

Reader Client::transact(Writer &request) {
    if (!failure_.empty())
        throw LinkError(failure_);
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + timeout_;
    try {
        channel_.send(request, deadline);
    } catch (const LinkError &e) {
        failure_ = e.what();
        throw;
    }
    await_answer(deadline);
    round_trip_time_ += Clock::now() - start;
    return results();
}

void Client::build(const std::optional<LeafOptions> &leaf) {
    Writer request;
    put(request, static_cast<uint8_t>(Op::build));
    put(request, leaf.has_value());
    if (leaf)
        put(request, *leaf);
    transact(request).expect_end();
}

Applied Client::apply(const Change &change) {
    Writer request;
    put(request, static_cast<uint8_t>(Op::apply));
    put(request, change);
    Reader answer = transact(request);
    Applied applied;
    get(answer, applied);
    answer.expect_end();
    return applied;
}

template <class Result, class... Args>
Result RemoteBackend::call(PeerFn fn, const std::tuple<Args...> &args) {
    Writer request;
    put(request, static_cast<uint8_t>(fn));
    std::apply([&](const auto &...arg) { (put(request, arg), ...); }, args);
    Reader answer = client_.transact(request);
    Result result{};
    get(answer, result);
    answer.expect_end();
    return result;
}

#define SIM_REMOTE_CALL(name, kind, Result, params, args, ...)                                     \
    Result RemoteBackend::name params {                                                            \
        if constexpr (answered_locally(PeerFn::name))                                              \
            return here_.name args;                                                                \
        else                                                                                       \
            return call<Result>(PeerFn::name, std::forward_as_tuple args);                         \
    }
SIM_PEER_FUNCTIONS(SIM_REMOTE_CALL)
#undef SIM_REMOTE_CALL

} // namespace sim::ipc
