#include "netlink_socket.h"

#include <fcntl.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cerrno>

namespace lcache_linux {
namespace {

// Large enough for a dump's datagrams (the kernel fills up to 32 KiB).
constexpr size_t kReceiveSize = 32768;
alignas(nlmsghdr) unsigned char receive_buffer[kReceiveSize];

} // namespace

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

int NetlinkSocket::transact_raw(nlmsghdr *request, mnl_cb_t callback, void *data) {
    if (!socket_)
        return -EBADF;
    request->nlmsg_seq = ++sequence_;
    bool dump = request->nlmsg_flags & NLM_F_DUMP;
    if (mnl_socket_sendto(socket_, request, request->nlmsg_len) < 0)
        return -errno;
    for (;;) {
        ssize_t length = mnl_socket_recvfrom(socket_, receive_buffer, sizeof receive_buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return -errno;
        int result = mnl_cb_run(receive_buffer, static_cast<size_t>(length), sequence_, port_id_,
                                callback, data);
        if (result < 0)
            return errno ? -errno : -EPROTO;
        if (result == MNL_CB_STOP || !dump)
            return 0;
    }
}

long NetlinkSocket::receive(void *buffer, size_t size) {
    if (!socket_)
        return -EBADF;
    ssize_t length = recv(mnl_socket_get_fd(socket_), buffer, size, MSG_DONTWAIT);
    return length < 0 ? -errno : length;
}

} // namespace lcache_linux
