// SPDX-License-Identifier: MIT
// The wire format between a client and a switch served in another process
// (sim/ipc_client.h, sim/ipc_server.h), over a Unix stream socket.
//
// The server speaks first: a greeting answer, ok when it serves this
// client, failed with the reason when it does not.  Then strictly one
// request, then one answer.  Each is a frame: a u32 length, then that many
// bytes (at most kMaxFrame).  A request starts with its Op byte, then its
// arguments; an answer starts with an Answer byte, then the results (ok)
// or a message (failed, refused).  Numbers travel in host byte order: both
// ends are the same program on the same host.
#pragma once

#include <sys/un.h>

#include <chrono>
#include <concepts>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "sim/change.h"
#include "sim/leaf.h"
#include "sim/peer_backend.h"
#include "sim/peer_fn.h"

namespace sim::ipc {

// A request's first byte: a PeerFn value asks that peer function, the
// values from kFirstControlOp on control the served switch.
enum class Op : uint8_t {
    build = 0x80, // a new switch: u8 1 and LeafOptions (a leaf), or u8 0 (empty)
    apply = 0x81, // a Change; answers Applied
};
inline constexpr uint8_t kFirstControlOp = 0x80;
static_assert(kPeerFnCount <= kFirstControlOp);

enum class Answer : uint8_t {
    ok = 0,
    failed = 1,  // the request could not be answered: a message follows
    refused = 2, // the model refused a change (ModelError): its message follows
};
inline constexpr uint8_t kAnswerCount = 3;

// No request or answer comes near this; a longer frame is a broken peer.
inline constexpr uint32_t kMaxFrame = 1u << 20;

using Clock = std::chrono::steady_clock;
// Waits as long as it takes.
inline constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

// The other end broke the protocol, or the link itself failed.
class LinkError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The other end went away in the middle of a request or an answer: it
// closed or reset the link, as a killed process does.
class LinkClosed : public LinkError {
  public:
    using LinkError::LinkError;
};

// The other end fell silent: a frame was not through by its deadline.
class LinkTimeout : public LinkError {
  public:
    using LinkError::LinkError;
};

// Builds one frame; the length is filled in by Channel::send.
class Writer {
  public:
    Writer() : bytes_(sizeof(uint32_t)) {}
    void raw(const void *data, size_t size);
    std::vector<uint8_t> &frame() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

// Reads one frame's payload; running past its end is a LinkError.
class Reader {
  public:
    explicit Reader(const std::vector<uint8_t> &payload) : data_(payload) {}
    void raw(void *out, size_t size);
    std::string_view view(size_t size);
    // A frame with bytes left over is as broken as a short one.
    void expect_end() const;

  private:
    const std::vector<uint8_t> &data_;
    size_t pos_ = 0;
};

// The scalars and the variable-length values.  A string_view read from a
// frame points into it, valid while the frame is.
void put(Writer &w, bool value);
void put(Writer &w, uint8_t value);
void put(Writer &w, uint16_t value);
void put(Writer &w, uint32_t value);
void put(Writer &w, std::string_view text);
void put(Writer &w, const Mac &mac);
void put(Writer &w, ChangeKind kind);
void put(Writer &w, const Notification &sent);

void get(Reader &r, bool &value);
void get(Reader &r, uint8_t &value);
void get(Reader &r, uint16_t &value);
void get(Reader &r, uint32_t &value);
void get(Reader &r, std::string &text);
void get(Reader &r, std::string_view &text);
void get(Reader &r, Mac &mac);
void get(Reader &r, ChangeKind &kind);
void get(Reader &r, Notification &sent);

// A count, then the elements.
template <class T> void put(Writer &w, const std::vector<T> &values) {
    put(w, static_cast<uint32_t>(values.size()));
    for (const T &value : values)
        put(w, value);
}

void check_count(uint32_t count); // throws LinkError for a count no frame can hold

template <class T> void get(Reader &r, std::vector<T> &values) {
    uint32_t count = 0;
    get(r, count);
    check_count(count);
    values.resize(count);
    for (T &value : values)
        get(r, value);
}

// Every record travels as its fields in the order of its one walk, which
// serves both directions: `f` gets the fields, const or not as the record
// is.
#define SIM_IPC_RECORD(Type, ...)                                                                  \
    template <class R, class F>                                                                    \
        requires std::same_as<std::remove_const_t<R>, Type>                                        \
    void walk(R &r, F &&f) {                                                                       \
        f(__VA_ARGS__);                                                                            \
    }
SIM_IPC_RECORD(PrivateData, r.value, r.size)
SIM_IPC_RECORD(PortVlan, r.slice, r.vlan, r.mode)
SIM_IPC_RECORD(PortChannelInfo, r.first_operational, r.members)
SIM_IPC_RECORD(VlanKey, r.slice, r.vlan)
SIM_IPC_RECORD(BdAndPrimary, r.bd, r.primary)
SIM_IPC_RECORD(LeafOptions, r.ethernet_ports, r.port_channels, r.members_per_channel, r.vlans,
               r.first_vlan, r.subinterfaces, r.loopbacks, r.management, r.slice)
SIM_IPC_RECORD(Change, r.kind, r.target, r.arg1, r.arg2, r.arg3, r.mac)
SIM_IPC_RECORD(PhyState, r.ifindex, r.iod, r.state)
SIM_IPC_RECORD(L2State, r.bundle, r.ifindex, r.iod, r.state, r.native_vlan, r.mac, r.mtu, r.vlan)
SIM_IPC_RECORD(L3State, r.bundle, r.ifindex, r.iod, r.state, r.mtu)
SIM_IPC_RECORD(L3Param, r.ifindex, r.iod, r.mtu_changed)
SIM_IPC_RECORD(FirstOperationalMember, r.channel, r.old_member, r.new_member)
SIM_IPC_RECORD(SwitchportChange, r.iod)
SIM_IPC_RECORD(VlanChange, r.iod)
SIM_IPC_RECORD(Applied, r.added, r.sent)
#undef SIM_IPC_RECORD

template <class T> struct IsReply : std::false_type {};
template <class T> struct IsReply<Reply<T>> : std::true_type {};

template <class R, class F>
    requires IsReply<std::remove_const_t<R>>::value
void walk(R &r, F &&f) {
    f(r.status, r.value);
}

template <class T>
concept Record = requires(T &record) { walk(record, [](auto &...) {}); };

template <Record T> void put(Writer &w, const T &record) {
    walk(record, [&](const auto &...field) { (put(w, field), ...); });
}

template <Record T> void get(Reader &r, T &record) {
    walk(record, [&](auto &...field) { (get(r, field), ...); });
}

// One end of a connected socket, owned: frames out and in, each within a
// deadline.
class Channel {
  public:
    explicit Channel(int fd) : fd_(fd) {}
    Channel(Channel &&other) noexcept;
    Channel &operator=(Channel &&other) noexcept;
    ~Channel();

    // Throws LinkClosed when the other end is gone, LinkTimeout when it
    // takes no more bytes by `deadline`, LinkError otherwise.
    void send(Writer &frame, Clock::time_point deadline = kNoDeadline);
    // The next frame's payload; nullopt when the other end closed the link
    // between frames.  Throws LinkClosed when it went away mid-frame,
    // LinkTimeout when the frame is not through by `deadline`, and
    // LinkError for a frame that breaks the protocol.
    std::optional<std::vector<uint8_t>> receive(Clock::time_point deadline = kNoDeadline);

    int fd() const { return fd_; }
    // Bytes of the next frame already read from the socket.
    bool buffered() const { return end_ > start_; }

  private:
    // Reads until `wanted` bytes are buffered: whatever the socket holds,
    // so a frame usually costs one read.  False at end of file with
    // nothing buffered.
    bool fill(size_t wanted, Clock::time_point deadline);

    int fd_ = -1;
    std::vector<uint8_t> in_;
    size_t start_ = 0; // the unread bytes are in_[start_, end_)
    size_t end_ = 0;
};

// Waits until `fd` is ready for `events` (poll's), or `deadline`: false
// then.
bool wait_for(int fd, short events, Clock::time_point deadline);

// A socket path fits sun_path with its terminating NUL; an empty one would
// name an abstract address instead of a file.
inline constexpr size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;
// Why `path` cannot name a socket file, or empty when it can.
std::string socket_path_problem(const std::string &path);

// A new Unix stream socket (close-on-exec) and the address of `path` for
// it to connect or bind to; throws LinkError when either cannot be had.
int unix_socket(const std::string &path, sockaddr_un &address);

} // namespace sim::ipc
