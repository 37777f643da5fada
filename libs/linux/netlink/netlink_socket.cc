// SPDX-License-Identifier: MIT
#include "netlink_socket.h"

#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lcache_linux {
namespace {

// What most datagrams need (the kernel fills a dump's up to 32 KiB); a
// larger one grows the buffer.
constexpr size_t kInitialSize = 32768;

// The kernel's error code of an NLMSG_ERROR or NLMSG_DONE message, or
// -EPROTO when the message is too short to carry one.
int carried_error(const nlmsghdr *message) {
    if (message->nlmsg_len < NLMSG_LENGTH(sizeof(int)))
        return message->nlmsg_type == NLMSG_DONE ? 0 : -EPROTO;
    int error;
    memcpy(&error, mnl_nlmsg_get_payload(message), sizeof error);
    return error;
}

} // namespace

NetlinkSocket::~NetlinkSocket() {
    close();
    free(buffer_);
}

int NetlinkSocket::open(unsigned groups, bool nonblocking) {
    if (socket_)
        return -EALREADY;
    int flags = SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0);
    mnl_socket *socket = mnl_socket_open2(NETLINK_ROUTE, flags);
    if (!socket)
        return -errno;
    if (mnl_socket_bind(socket, groups, MNL_SOCKET_AUTOPID) < 0) {
        int error = errno;
        mnl_socket_close(socket);
        return -error;
    }
    socket_ = socket;
    port_id_ = mnl_socket_get_portid(socket);
    return 0;
}

void NetlinkSocket::close() {
    if (socket_)
        mnl_socket_close(socket_);
    socket_ = nullptr;
}

int NetlinkSocket::fd() const { return socket_ ? mnl_socket_get_fd(socket_) : -EBADF; }

bool NetlinkSocket::reserve(size_t size) {
    if (size <= capacity_)
        return true;
    size_t capacity = capacity_ ? capacity_ : kInitialSize;
    while (capacity < size)
        capacity *= 2;
    void *grown = realloc(buffer_, capacity);
    if (!grown)
        return false;
    buffer_ = static_cast<unsigned char *>(grown);
    capacity_ = capacity;
    return true;
}

// Peeks at the next datagram's size first, so that none is ever cut short.
long NetlinkSocket::read_whole(int flags, uint32_t &sender) {
    int fd = mnl_socket_get_fd(socket_);
    ssize_t size;
    do {
        size = recv(fd, nullptr, 0, flags | MSG_PEEK | MSG_TRUNC);
    } while (size < 0 && errno == EINTR);
    if (size < 0)
        return -errno;
    if (!reserve(static_cast<size_t>(size) > kInitialSize ? static_cast<size_t>(size)
                                                           : kInitialSize)) {
        recv(fd, nullptr, 0, flags | MSG_TRUNC);
        return -EMSGSIZE;
    }
    sockaddr_nl from{};
    iovec vector{buffer_, capacity_};
    msghdr header{};
    header.msg_name = &from;
    header.msg_namelen = sizeof from;
    header.msg_iov = &vector;
    header.msg_iovlen = 1;
    ssize_t length;
    do {
        length = recvmsg(fd, &header, flags);
    } while (length < 0 && errno == EINTR);
    if (length < 0)
        return -errno;
    if (header.msg_flags & MSG_TRUNC)
        return -EMSGSIZE;
    sender = from.nl_pid;
    return length;
}

int NetlinkSocket::fail(int error) {
    close();
    return error;
}

int NetlinkSocket::transact_raw(nlmsghdr *request, mnl_cb_t callback, void *data) {
    if (!socket_)
        return -EBADF;
    request->nlmsg_seq = ++sequence_;
    bool dump = request->nlmsg_flags & NLM_F_DUMP;
    if (mnl_socket_sendto(socket_, request, request->nlmsg_len) < 0)
        return -errno;
    bool handing_over = true;
    bool interrupted = false;
    int error = 0;
    for (bool done = false; !done;) {
        uint32_t sender = 0;
        long length = read_whole(0, sender);
        if (length < 0)
            return fail(static_cast<int>(length));
        if (sender != 0)
            continue;
        bool valid = for_each_message(buffer_, static_cast<size_t>(length),
                                      [&](const nlmsghdr *message) {
            if (done || message->nlmsg_seq != sequence_ || message->nlmsg_pid != port_id_)
                return;
            interrupted = interrupted || (message->nlmsg_flags & NLM_F_DUMP_INTR);
            if (message->nlmsg_type == NLMSG_DONE || message->nlmsg_type == NLMSG_ERROR) {
                error = error ? error : carried_error(message);
                done = true;
                return;
            }
            if (handing_over && callback(message, data) != MNL_CB_OK)
                handing_over = false;
            done = !dump;
        });
        if (!valid)
            return fail(-EPROTO);
    }
    if (error)
        return error;
    return interrupted ? -EINTR : 0;
}

long NetlinkSocket::receive(bool &from_kernel) {
    if (!socket_)
        return -EBADF;
    uint32_t sender = 0;
    long length = read_whole(MSG_DONTWAIT, sender);
    from_kernel = sender == 0;
    return length;
}

} // namespace lcache_linux
