#include "link_control.h"

#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <linux/veth.h>

#include <cerrno>

namespace lcache_linux {
namespace {

constexpr size_t kBufferSize = 1024;

} // namespace

LinkControl::~LinkControl() {
    if (socket_)
        mnl_socket_close(socket_);
}

int LinkControl::open() {
    socket_ = mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC);
    if (!socket_)
        return -errno;
    if (mnl_socket_bind(socket_, 0, MNL_SOCKET_AUTOPID) < 0)
        return -errno;
    port_id_ = mnl_socket_get_portid(socket_);
    return 0;
}

nlmsghdr *LinkControl::start(unsigned char *buffer, uint16_t type, uint16_t flags,
                             uint32_t index) {
    nlmsghdr *request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = type;
    request->nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | flags;
    request->nlmsg_seq = ++sequence_;
    auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)));
    ifi->ifi_family = AF_UNSPEC;
    ifi->ifi_index = static_cast<int>(index);
    return request;
}

int LinkControl::transact(nlmsghdr *request) {
    if (!socket_)
        return -EBADF;
    if (mnl_socket_sendto(socket_, request, request->nlmsg_len) < 0)
        return -errno;
    alignas(nlmsghdr) unsigned char answer[MNL_SOCKET_BUFFER_SIZE];
    for (;;) {
        ssize_t length = mnl_socket_recvfrom(socket_, answer, sizeof answer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return -errno;
        int result = mnl_cb_run(answer, static_cast<size_t>(length), request->nlmsg_seq,
                                port_id_, nullptr, nullptr);
        if (result < 0)
            return -errno;
        if (result == MNL_CB_STOP)
            return 0;
    }
}

int LinkControl::add_kind(const std::string &name, const char *kind, const std::string *peer,
                          uint32_t parent, uint16_t vid) {
    alignas(nlmsghdr) unsigned char buffer[kBufferSize] = {};
    nlmsghdr *request = start(buffer, RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL, 0);
    mnl_attr_put_strz(request, IFLA_IFNAME, name.c_str());
    if (parent)
        mnl_attr_put_u32(request, IFLA_LINK, parent);
    nlattr *linkinfo = mnl_attr_nest_start(request, IFLA_LINKINFO);
    mnl_attr_put_strz(request, IFLA_INFO_KIND, kind);
    if (peer || vid) {
        nlattr *data = mnl_attr_nest_start(request, IFLA_INFO_DATA);
        if (peer) {
            nlattr *peer_info = mnl_attr_nest_start(request, VETH_INFO_PEER);
            mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg));
            mnl_attr_put_strz(request, IFLA_IFNAME, peer->c_str());
            mnl_attr_nest_end(request, peer_info);
        }
        if (vid)
            mnl_attr_put_u16(request, IFLA_VLAN_ID, vid);
        mnl_attr_nest_end(request, data);
    }
    mnl_attr_nest_end(request, linkinfo);
    return transact(request);
}

int LinkControl::add_veth(const std::string &name, const std::string &peer) {
    return add_kind(name, "veth", &peer, 0, 0);
}

int LinkControl::add_bridge(const std::string &name) {
    return add_kind(name, "bridge", nullptr, 0, 0);
}

int LinkControl::add_vlan(const std::string &name, uint32_t parent, uint16_t vid) {
    return add_kind(name, "vlan", nullptr, parent, vid);
}

int LinkControl::add_bond(const std::string &name) {
    return add_kind(name, "bond", nullptr, 0, 0);
}

// One RTM_NEWLINK about link `index`, filled in by `fill`.
template <typename F>
int LinkControl::change(uint32_t index, F &&fill) {
    alignas(nlmsghdr) unsigned char buffer[kBufferSize] = {};
    nlmsghdr *request = start(buffer, RTM_NEWLINK, 0, index);
    fill(request);
    return transact(request);
}

int LinkControl::set_up(uint32_t index, bool up) {
    return change(index, [up](nlmsghdr *request) {
        auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_get_payload(request));
        ifi->ifi_change = IFF_UP;
        ifi->ifi_flags = up ? IFF_UP : 0;
    });
}

int LinkControl::set_mtu(uint32_t index, uint32_t mtu) {
    return change(index, [mtu](nlmsghdr *request) { mnl_attr_put_u32(request, IFLA_MTU, mtu); });
}

int LinkControl::set_mac(uint32_t index, const std::array<uint8_t, 6> &mac) {
    return change(index, [&mac](nlmsghdr *request) {
        mnl_attr_put(request, IFLA_ADDRESS, mac.size(), mac.data());
    });
}

int LinkControl::set_master(uint32_t index, uint32_t master) {
    return change(index, [master](nlmsghdr *request) {
        mnl_attr_put_u32(request, IFLA_MASTER, master);
    });
}

int LinkControl::remove(uint32_t index) {
    alignas(nlmsghdr) unsigned char buffer[kBufferSize] = {};
    return transact(start(buffer, RTM_DELLINK, 0, index));
}

} // namespace lcache_linux
