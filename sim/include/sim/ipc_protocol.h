// The wire format between a client and a switch served in another process
// (sim/ipc_client.h, sim/ipc_server.h), over a Unix stream socket.
//
// Strictly one request, then one answer.  Each is a frame: a u32 length,
// then that many bytes.  A request starts with its Op byte, then its
// arguments; an answer starts with an Answer byte, then the results (ok)
// or a message (failed, refused).  Numbers travel in host byte order:
// both ends are the same program on the same host.
#pragma once

#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ipc_change.h"
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

// Every type a peer call or a control request carries.  A string_view
// read from a frame points into it, valid while the frame is.
void put(Writer &w, bool value);
void put(Writer &w, uint8_t value);
void put(Writer &w, uint16_t value);
void put(Writer &w, uint32_t value);
void put(Writer &w, std::string_view text);
void put(Writer &w, const Mac &mac);
void put(Writer &w, const std::vector<uint32_t> &values);
void put(Writer &w, const PrivateData &data);
void put(Writer &w, const PortVlan &value);
void put(Writer &w, const PortChannelInfo &value);
void put(Writer &w, const VlanKey &key);
void put(Writer &w, const BdAndPrimary &value);
void put(Writer &w, const LeafOptions &options);
void put(Writer &w, const Change &change);
void put(Writer &w, const Notification &sent);
void put(Writer &w, const Applied &applied);

void get(Reader &r, bool &value);
void get(Reader &r, uint8_t &value);
void get(Reader &r, uint16_t &value);
void get(Reader &r, uint32_t &value);
void get(Reader &r, std::string &text);
void get(Reader &r, std::string_view &text);
void get(Reader &r, Mac &mac);
void get(Reader &r, std::vector<uint32_t> &values);
void get(Reader &r, PrivateData &data);
void get(Reader &r, PortVlan &value);
void get(Reader &r, PortChannelInfo &value);
void get(Reader &r, VlanKey &key);
void get(Reader &r, BdAndPrimary &value);
void get(Reader &r, LeafOptions &options);
void get(Reader &r, Change &change);
void get(Reader &r, Notification &sent);
void get(Reader &r, Applied &applied);

template <class T> void put(Writer &w, const Reply<T> &reply) {
    put(w, reply.status);
    put(w, reply.value);
}

template <class T> void get(Reader &r, Reply<T> &reply) {
    get(r, reply.status);
    get(r, reply.value);
}

// One end of a connected socket, owned: frames out and in.
class Channel {
  public:
    explicit Channel(int fd) : fd_(fd) {}
    Channel(Channel &&other) noexcept;
    Channel &operator=(Channel &&other) noexcept;
    ~Channel();

    // Throws LinkClosed when the other end is gone, LinkError otherwise.
    void send(Writer &frame);
    // The next frame's payload; nullopt when the other end closed the link
    // between frames.  Throws LinkClosed when it went away mid-frame, and
    // LinkError for a frame that breaks the protocol.
    std::optional<std::vector<uint8_t>> receive();

  private:
    // Reads until `wanted` bytes are buffered: whatever the socket holds,
    // so a frame usually costs one read.  False at end of file with
    // nothing buffered.
    bool fill(size_t wanted);

    int fd_ = -1;
    std::vector<uint8_t> in_;
    size_t start_ = 0; // the unread bytes are in_[start_, end_)
    size_t end_ = 0;
};

// A new Unix stream socket (close-on-exec) and the address of `path` for
// it to connect or bind to; throws LinkError when either cannot be had.
int unix_socket(const std::string &path, sockaddr_un &address);

} // namespace sim::ipc
