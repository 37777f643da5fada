// SPDX-License-Identifier: MIT
// Encoding of the switch server's requests and answers, and framed I/O.
#include "sim/ipc_protocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstring>
#include <type_traits>
#include <utility>

namespace sim::ipc {
namespace {

// A whole frame usually arrives in one read.
constexpr size_t kReadAhead = 4096;

template <class T> void put_number(Writer &w, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    w.raw(&value, sizeof value);
}

template <class T> void get_number(Reader &r, T &value) { r.raw(&value, sizeof value); }

// The alternative with index `index`, read from `r`.
template <size_t I = 0> Notification read_notification(Reader &r, uint8_t index) {
    if constexpr (I == std::variant_size_v<Notification>) {
        throw LinkError("notification kind " + std::to_string(index) + " does not exist");
    } else {
        if (index != I)
            return read_notification<I + 1>(r, index);
        std::variant_alternative_t<I, Notification> one;
        get(r, one);
        return one;
    }
}

} // namespace

void Writer::raw(const void *data, size_t size) {
    const auto *bytes = static_cast<const uint8_t *>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
}

void Reader::raw(void *out, size_t size) {
    if (size > data_.size() - pos_)
        throw LinkError("a frame ended early");
    std::memcpy(out, data_.data() + pos_, size);
    pos_ += size;
}

std::string_view Reader::view(size_t size) {
    if (size > data_.size() - pos_)
        throw LinkError("a frame ended early");
    std::string_view text(reinterpret_cast<const char *>(data_.data() + pos_), size);
    pos_ += size;
    return text;
}

void Reader::expect_end() const {
    if (pos_ != data_.size())
        throw LinkError("a frame carried bytes nobody asked for");
}

void check_count(uint32_t count) {
    if (count > kMaxFrame)
        throw LinkError("a list of " + std::to_string(count) + " items cannot fit a frame");
}

void put(Writer &w, bool value) { put_number<uint8_t>(w, value ? 1 : 0); }
void put(Writer &w, uint8_t value) { put_number(w, value); }
void put(Writer &w, uint16_t value) { put_number(w, value); }
void put(Writer &w, uint32_t value) { put_number(w, value); }

void put(Writer &w, std::string_view text) {
    put(w, static_cast<uint32_t>(text.size()));
    w.raw(text.data(), text.size());
}

void put(Writer &w, const Mac &mac) { w.raw(mac.data(), mac.size()); }
void put(Writer &w, ChangeKind kind) { put(w, static_cast<uint8_t>(kind)); }

void put(Writer &w, const Notification &sent) {
    put(w, static_cast<uint8_t>(sent.index()));
    std::visit([&](const auto &one) { put(w, one); }, sent);
}

void get(Reader &r, bool &value) {
    uint8_t byte = 0;
    get_number(r, byte);
    if (byte > 1)
        throw LinkError("a boolean travelled as " + std::to_string(byte));
    value = byte == 1;
}
void get(Reader &r, uint8_t &value) { get_number(r, value); }
void get(Reader &r, uint16_t &value) { get_number(r, value); }
void get(Reader &r, uint32_t &value) { get_number(r, value); }

void get(Reader &r, std::string_view &text) {
    uint32_t size = 0;
    get(r, size);
    text = r.view(size);
}

void get(Reader &r, std::string &text) {
    std::string_view view;
    get(r, view);
    text.assign(view);
}

void get(Reader &r, Mac &mac) { r.raw(mac.data(), mac.size()); }

void get(Reader &r, ChangeKind &kind) {
    uint8_t code = 0;
    get(r, code);
    if (code >= kChangeKindCount)
        throw LinkError("change kind " + std::to_string(code) + " does not exist");
    kind = static_cast<ChangeKind>(code);
}

void get(Reader &r, Notification &sent) {
    uint8_t index = 0;
    get(r, index);
    sent = read_notification(r, index);
}

Channel::Channel(Channel &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), in_(std::move(other.in_)),
      start_(std::exchange(other.start_, 0)), end_(std::exchange(other.end_, 0)) {}

Channel &Channel::operator=(Channel &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        in_ = std::move(other.in_);
        start_ = std::exchange(other.start_, 0);
        end_ = std::exchange(other.end_, 0);
    }
    return *this;
}

Channel::~Channel() {
    if (fd_ >= 0)
        close(fd_);
}

bool wait_for(int fd, short events, Clock::time_point deadline) {
    pollfd one{fd, events, 0};
    for (;;) {
        int wait_ms = -1;
        if (deadline != kNoDeadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
        }
        const int n = ::poll(&one, 1, wait_ms);
        if (n > 0)
            return true;
        if (n == 0)
            return false;
        if (errno != EINTR)
            throw LinkError(std::string("cannot wait for the socket: ") + std::strerror(errno));
    }
}

void Channel::send(Writer &frame, Clock::time_point deadline) {
    std::vector<uint8_t> &bytes = frame.frame();
    const auto length = static_cast<uint32_t>(bytes.size() - sizeof(uint32_t));
    std::memcpy(bytes.data(), &length, sizeof length);
    size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a vanished peer is an error to report, not SIGPIPE.
        const ssize_t n =
            ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait_for(fd_, POLLOUT, deadline))
                throw LinkTimeout("the other end stopped reading");
            continue;
        }
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
            throw LinkClosed("the other end closed the link");
        if (n <= 0)
            throw LinkError(std::string("cannot send: ") + std::strerror(errno));
        sent += static_cast<size_t>(n);
    }
}

bool Channel::fill(size_t wanted, Clock::time_point deadline) {
    while (end_ - start_ < wanted) {
        if (start_ > 0) {
            std::memmove(in_.data(), in_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
        }
        if (in_.size() < wanted)
            in_.resize(std::max<size_t>(wanted, kReadAhead));
        if (deadline != kNoDeadline && !wait_for(fd_, POLLIN, deadline))
            throw LinkTimeout(end_ == start_ ? "the other end fell silent"
                                             : "the other end stalled in the middle of a frame");
        const ssize_t n = ::read(fd_, in_.data() + end_, in_.size() - end_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ECONNRESET)
            throw LinkClosed("the other end reset the link");
        if (n < 0)
            throw LinkError(std::string("cannot receive: ") + std::strerror(errno));
        if (n == 0) {
            if (end_ == start_)
                return false;
            throw LinkClosed("the other end closed the link in the middle of a frame");
        }
        end_ += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::vector<uint8_t>> Channel::receive(Clock::time_point deadline) {
    if (!fill(sizeof(uint32_t), deadline))
        return std::nullopt;
    uint32_t length = 0;
    std::memcpy(&length, in_.data() + start_, sizeof length);
    if (length > kMaxFrame)
        throw LinkError("a frame of " + std::to_string(length) + " bytes is too long");
    fill(sizeof length + length, deadline);
    const auto *payload = in_.data() + start_ + sizeof length;
    start_ += sizeof length + length;
    return std::vector<uint8_t>(payload, payload + length);
}

std::string socket_path_problem(const std::string &path) {
    if (path.empty())
        return "the socket path is empty";
    if (path.size() > kMaxSocketPath)
        return "the socket path is longer than " + std::to_string(kMaxSocketPath) + " bytes";
    return "";
}

int unix_socket(const std::string &path, sockaddr_un &address) {
    if (const std::string problem = socket_path_problem(path); !problem.empty())
        throw LinkError(problem);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw LinkError(std::string("cannot create a socket: ") + std::strerror(errno));
    return fd;
}

} // namespace sim::ipc
