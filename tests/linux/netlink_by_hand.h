// SPDX-License-Identifier: MIT
// Netlink spoken by the tests themselves, beside the code under test:
// their own link requests to the kernel, and a sender that is not the
// kernel.
#pragma once

#include <gtest/gtest.h>
#include <libmnl/libmnl.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "netlink_socket.h"

namespace hosttest {

// An RTM_GETLINK of link `index`; with NLM_F_DUMP among `flags`, of every
// link.  No attribute filter: the answers carry everything, statistics too.
class GetLink {
  public:
    GetLink(uint32_t index, uint16_t flags) : request_(mnl_nlmsg_put_header(bytes_)) {
        request_->nlmsg_type = RTM_GETLINK;
        request_->nlmsg_flags = NLM_F_REQUEST | flags;
        auto *ifi =
            static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request_, sizeof(ifinfomsg)));
        ifi->ifi_index = static_cast<int>(index);
    }
    GetLink(const GetLink &) = delete;
    GetLink &operator=(const GetLink &) = delete;

    nlmsghdr *request() { return request_; }

  private:
    alignas(nlmsghdr) unsigned char bytes_[NLMSG_SPACE(sizeof(ifinfomsg))] = {};
    nlmsghdr *request_;
};

// Link `index`'s message as the kernel answers it; empty when it does not.
inline std::vector<unsigned char> kernel_message(uint32_t index) {
    lcache_linux::NetlinkSocket socket;
    std::vector<unsigned char> bytes;
    GetLink get(index, 0);
    if (socket.open(0, false) != 0 || socket.transact(get.request(), [&](const nlmsghdr *message) {
            const auto *at = reinterpret_cast<const unsigned char *>(message);
            bytes.assign(at, at + message->nlmsg_len);
            return MNL_CB_OK;
        }) != 0)
        bytes.clear();
    return bytes;
}

// The netlink port a socket is bound to.
inline uint32_t port_of(int fd) {
    sockaddr_nl self{};
    socklen_t size = sizeof self;
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr *>(&self), &size), 0);
    return self.nl_pid;
}

// Another process on the same netlink family: a bound raw socket.
class Forger {
  public:
    Forger() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {
        sockaddr_nl self{};
        self.nl_family = AF_NETLINK;
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr *>(&self), sizeof self) == 0;
    }
    ~Forger() {
        if (fd_ >= 0)
            close(fd_);
    }
    Forger(const Forger &) = delete;
    Forger &operator=(const Forger &) = delete;

    bool bound() const { return bound_; }

    // Sends `bytes` to `port`, or to the members of `groups`.
    bool send(const std::vector<unsigned char> &bytes, uint32_t port, uint32_t groups) {
        sockaddr_nl to{};
        to.nl_family = AF_NETLINK;
        to.nl_pid = port;
        to.nl_groups = groups;
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }

  private:
    int fd_;
    bool bound_ = false;
};

} // namespace hosttest
