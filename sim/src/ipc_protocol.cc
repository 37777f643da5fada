// Encoding of the switch server's requests and answers, and framed I/O.
#include "sim/ipc_protocol.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <type_traits>
#include <utility>

namespace sim::ipc {
namespace {

// No request or answer comes near this; a larger length is a broken peer.
constexpr uint32_t kMaxFrame = 1u << 20;
// A whole frame usually arrives in one read.
constexpr size_t kReadAhead = 4096;

template <class T> void put_number(Writer &w, T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    w.raw(&value, sizeof value);
}

template <class T> void get_number(Reader &r, T &value) { r.raw(&value, sizeof value); }

void put_fields(Writer &w, const PhyState &n) {
    put(w, n.ifindex);
    put(w, n.iod);
    put(w, n.state);
}
void put_fields(Writer &w, const L2State &n) {
    put(w, n.bundle);
    put(w, n.ifindex);
    put(w, n.iod);
    put(w, n.state);
    put(w, n.native_vlan);
    put(w, n.mac);
    put(w, n.mtu);
    put(w, n.vlan);
}
void put_fields(Writer &w, const L3State &n) {
    put(w, n.bundle);
    put(w, n.ifindex);
    put(w, n.iod);
    put(w, n.state);
    put(w, n.mtu);
}
void put_fields(Writer &w, const L3Param &n) {
    put(w, n.ifindex);
    put(w, n.iod);
    put(w, n.mtu_changed);
}
void put_fields(Writer &w, const FirstOperationalMember &n) {
    put(w, n.channel);
    put(w, n.old_member);
    put(w, n.new_member);
}
void put_fields(Writer &w, const SwitchportChange &n) { put(w, n.iod); }
void put_fields(Writer &w, const VlanChange &n) { put(w, n.iod); }

void get_fields(Reader &r, PhyState &n) {
    get(r, n.ifindex);
    get(r, n.iod);
    get(r, n.state);
}
void get_fields(Reader &r, L2State &n) {
    get(r, n.bundle);
    get(r, n.ifindex);
    get(r, n.iod);
    get(r, n.state);
    get(r, n.native_vlan);
    get(r, n.mac);
    get(r, n.mtu);
    get(r, n.vlan);
}
void get_fields(Reader &r, L3State &n) {
    get(r, n.bundle);
    get(r, n.ifindex);
    get(r, n.iod);
    get(r, n.state);
    get(r, n.mtu);
}
void get_fields(Reader &r, L3Param &n) {
    get(r, n.ifindex);
    get(r, n.iod);
    get(r, n.mtu_changed);
}
void get_fields(Reader &r, FirstOperationalMember &n) {
    get(r, n.channel);
    get(r, n.old_member);
    get(r, n.new_member);
}
void get_fields(Reader &r, SwitchportChange &n) { get(r, n.iod); }
void get_fields(Reader &r, VlanChange &n) { get(r, n.iod); }

// The alternative with index `index`, read from `r`.
template <size_t I = 0> Notification read_notification(Reader &r, uint8_t index) {
    if constexpr (I == std::variant_size_v<Notification>) {
        throw LinkError("notification kind " + std::to_string(index) + " does not exist");
    } else {
        if (index != I)
            return read_notification<I + 1>(r, index);
        std::variant_alternative_t<I, Notification> one;
        get_fields(r, one);
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

void put(Writer &w, bool value) { put_number<uint8_t>(w, value ? 1 : 0); }
void put(Writer &w, uint8_t value) { put_number(w, value); }
void put(Writer &w, uint16_t value) { put_number(w, value); }
void put(Writer &w, uint32_t value) { put_number(w, value); }

void put(Writer &w, std::string_view text) {
    put(w, static_cast<uint32_t>(text.size()));
    w.raw(text.data(), text.size());
}

void put(Writer &w, const Mac &mac) { w.raw(mac.data(), mac.size()); }

void put(Writer &w, const std::vector<uint32_t> &values) {
    put(w, static_cast<uint32_t>(values.size()));
    for (uint32_t value : values)
        put(w, value);
}

void put(Writer &w, const PrivateData &data) {
    put(w, data.value);
    put(w, data.size);
}

void put(Writer &w, const PortVlan &value) {
    put(w, value.slice);
    put(w, value.vlan);
    put(w, value.mode);
}

void put(Writer &w, const PortChannelInfo &value) {
    put(w, value.first_operational);
    put(w, value.members);
}

void put(Writer &w, const VlanKey &key) {
    put(w, key.slice);
    put(w, key.vlan);
}

void put(Writer &w, const BdAndPrimary &value) {
    put(w, value.bd);
    put(w, value.primary);
}

void put(Writer &w, const LeafOptions &o) {
    put(w, o.ethernet_ports);
    put(w, o.port_channels);
    put(w, o.members_per_channel);
    put(w, o.vlans);
    put(w, o.first_vlan);
    put(w, o.subinterfaces);
    put(w, o.loopbacks);
    put(w, o.management);
    put(w, o.slice);
}

void put(Writer &w, const Change &c) {
    put(w, static_cast<uint8_t>(c.kind));
    put(w, c.target);
    put(w, c.arg1);
    put(w, c.arg2);
    put(w, c.arg3);
    put(w, c.mac);
}

void put(Writer &w, const Notification &sent) {
    put(w, static_cast<uint8_t>(sent.index()));
    std::visit([&](const auto &one) { put_fields(w, one); }, sent);
}

void put(Writer &w, const Applied &applied) {
    put(w, applied.added);
    put(w, static_cast<uint32_t>(applied.sent.size()));
    for (const Notification &n : applied.sent)
        put(w, n);
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

void get(Reader &r, std::vector<uint32_t> &values) {
    uint32_t count = 0;
    get(r, count);
    if (count > kMaxFrame / sizeof(uint32_t))
        throw LinkError("a list of " + std::to_string(count) + " values cannot fit a frame");
    values.resize(count);
    for (uint32_t &value : values)
        get(r, value);
}

void get(Reader &r, PrivateData &data) {
    get(r, data.value);
    get(r, data.size);
}

void get(Reader &r, PortVlan &value) {
    get(r, value.slice);
    get(r, value.vlan);
    get(r, value.mode);
}

void get(Reader &r, PortChannelInfo &value) {
    get(r, value.first_operational);
    get(r, value.members);
}

void get(Reader &r, VlanKey &key) {
    get(r, key.slice);
    get(r, key.vlan);
}

void get(Reader &r, BdAndPrimary &value) {
    get(r, value.bd);
    get(r, value.primary);
}

void get(Reader &r, LeafOptions &o) {
    get(r, o.ethernet_ports);
    get(r, o.port_channels);
    get(r, o.members_per_channel);
    get(r, o.vlans);
    get(r, o.first_vlan);
    get(r, o.subinterfaces);
    get(r, o.loopbacks);
    get(r, o.management);
    get(r, o.slice);
}

void get(Reader &r, Change &c) {
    uint8_t kind = 0;
    get(r, kind);
    if (kind >= kChangeKindCount)
        throw LinkError("change kind " + std::to_string(kind) + " does not exist");
    c.kind = static_cast<ChangeKind>(kind);
    get(r, c.target);
    get(r, c.arg1);
    get(r, c.arg2);
    get(r, c.arg3);
    get(r, c.mac);
}

void get(Reader &r, Notification &sent) {
    uint8_t index = 0;
    get(r, index);
    sent = read_notification(r, index);
}

void get(Reader &r, Applied &applied) {
    get(r, applied.added);
    uint32_t count = 0;
    get(r, count);
    if (count > kMaxFrame)
        throw LinkError(std::to_string(count) + " notifications cannot fit a frame");
    applied.sent.resize(count);
    for (Notification &n : applied.sent)
        get(r, n);
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

void Channel::send(Writer &frame) {
    std::vector<uint8_t> &bytes = frame.frame();
    const auto length = static_cast<uint32_t>(bytes.size() - sizeof(uint32_t));
    std::memcpy(bytes.data(), &length, sizeof length);
    size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a vanished peer is an error to report, not SIGPIPE.
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
            throw LinkClosed("the other end closed the link");
        if (n <= 0)
            throw LinkError(std::string("cannot send: ") + std::strerror(errno));
        sent += static_cast<size_t>(n);
    }
}

bool Channel::fill(size_t wanted) {
    while (end_ - start_ < wanted) {
        if (start_ > 0) {
            std::memmove(in_.data(), in_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
        }
        if (in_.size() < wanted)
            in_.resize(std::max<size_t>(wanted, kReadAhead));
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

std::optional<std::vector<uint8_t>> Channel::receive() {
    if (!fill(sizeof(uint32_t)))
        return std::nullopt;
    uint32_t length = 0;
    std::memcpy(&length, in_.data() + start_, sizeof length);
    if (length > kMaxFrame)
        throw LinkError("a frame of " + std::to_string(length) + " bytes is too long");
    fill(sizeof length + length);
    const auto *payload = in_.data() + start_ + sizeof length;
    start_ += sizeof length + length;
    return std::vector<uint8_t>(payload, payload + length);
}

int unix_socket(const std::string &path, sockaddr_un &address) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw LinkError("socket path '" + path + "' is too long");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw LinkError(std::string("cannot create a socket: ") + std::strerror(errno));
    return fd;
}

} // namespace sim::ipc
