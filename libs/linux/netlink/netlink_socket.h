// SPDX-License-Identifier: MIT
// A NETLINK_ROUTE socket through libmnl: requests with their answers, or a
// subscription to the kernel's notification groups.
//
// Trusts only the kernel: every datagram is read whole whatever its size,
// datagrams from any sender but the kernel (port 0) are dropped, and every
// message length is checked against its datagram before use.  A request
// that fails half-way closes the socket, so no unread answer is ever taken
// for the next request's.
#pragma once

#include <libmnl/libmnl.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lcache_linux {

// Calls `on_message(const nlmsghdr *)` for each message of a datagram.
// False, before any call about the bad message, when a message's length is
// shorter than its header or runs past the datagram.
template <typename F>
bool for_each_message(const void *data, size_t length, F &&on_message) {
    const auto *at = static_cast<const unsigned char *>(data);
    while (length >= sizeof(nlmsghdr)) {
        const auto *message = reinterpret_cast<const nlmsghdr *>(at);
        size_t size = message->nlmsg_len;
        if (size < sizeof(nlmsghdr) || size > length)
            return false;
        on_message(message);
        size_t step = NLMSG_ALIGN(size);
        if (step >= length)
            return true;
        at += step;
        length -= step;
    }
    return length == 0;
}

class NetlinkSocket {
  public:
    NetlinkSocket() = default;
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket &) = delete;
    NetlinkSocket &operator=(const NetlinkSocket &) = delete;

    // Opens the socket joined to `groups` (RTMGRP_* bits, 0 for none),
    // non-blocking when asked.  0 or a negative errno.
    int open(unsigned groups, bool nonblocking);
    void close();
    bool is_open() const { return socket_ != nullptr; }
    int fd() const;

    // Sends `request` (its sequence number is set here) and hands each
    // answer message to `on_message(const nlmsghdr *)`, which returns
    // MNL_CB_OK to go on (anything else: the rest is read but not handed
    // over).  A dump is read to the kernel's NLMSG_DONE, any other request
    // to its answer or acknowledgement.  0, or a negative errno: the
    // kernel's own error (-ENODEV for a missing interface), -EINTR for a
    // dump the kernel marked interrupted (read to its end; ask again), or
    // why the socket failed (it is then closed).
    template <typename F>
    int transact(nlmsghdr *request, F &&on_message) {
        using Fn = std::remove_reference_t<F>;
        return transact_raw(request, &call<Fn>,
                            const_cast<void *>(static_cast<const void *>(&on_message)));
    }

    // One whole datagram of notifications, without blocking: its length,
    // with the bytes at data(), or a negative errno (-EAGAIN when nothing
    // is pending, -ENOBUFS on overrun, -EMSGSIZE for a datagram there was
    // no memory to read whole: it is gone).  `from_kernel` tells whether
    // the kernel sent it.
    long receive(bool &from_kernel);
    const unsigned char *data() const { return buffer_; }

  private:
    template <typename F>
    static int call(const nlmsghdr *message, void *data) {
        return (*static_cast<F *>(data))(message);
    }
    int transact_raw(nlmsghdr *request, mnl_cb_t callback, void *data);
    long read_whole(int flags, uint32_t &sender);
    bool reserve(size_t size);
    int fail(int error);

    mnl_socket *socket_ = nullptr;
    unsigned port_id_ = 0;
    unsigned sequence_ = 0;
    unsigned char *buffer_ = nullptr;
    size_t capacity_ = 0;
};

} // namespace lcache_linux
