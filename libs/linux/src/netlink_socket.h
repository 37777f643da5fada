// A NETLINK_ROUTE socket through libmnl: requests with their answers, or a
// subscription to the kernel's notification groups.
#pragma once

#include <libmnl/libmnl.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lcache_linux {

class NetlinkSocket {
  public:
    NetlinkSocket() = default;
    ~NetlinkSocket() { close(); }
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
    // MNL_CB_OK to go on.  A dump ends at the kernel's NLMSG_DONE, any other
    // request with its first answer.  0, or a negative errno (the kernel's
    // own error included: -ENODEV for a missing interface).
    template <typename F>
    int transact(nlmsghdr *request, F &&on_message) {
        return transact_raw(request, &call<std::remove_reference_t<F>>, &on_message);
    }

    // One datagram of notifications, without blocking: its length, or a
    // negative errno (-EAGAIN when nothing is pending, -ENOBUFS on overrun).
    long receive(void *buffer, size_t size);

  private:
    template <typename F>
    static int call(const nlmsghdr *message, void *data) {
        return (*static_cast<F *>(data))(message);
    }
    int transact_raw(nlmsghdr *request, mnl_cb_t callback, void *data);

    mnl_socket *socket_ = nullptr;
    unsigned port_id_ = 0;
    unsigned sequence_ = 0;
};

} // namespace lcache_linux
