// SPDX-License-Identifier: MIT
#include "link_control.h"

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <linux/veth.h>

namespace lcache_linux {
namespace {

constexpr size_t kBufferSize = 1024;

// An acknowledged change has no answer beyond the acknowledgement.
constexpr auto ignore_answer = [](const nlmsghdr *) { return MNL_CB_OK; };

} // namespace

int LinkControl::open() { return socket_.open(0, false); }

// One acknowledged request of `type` about link `index`, filled in by `fill`.
template <typename F>
int LinkControl::change(uint16_t type, uint16_t flags, uint32_t index, F &&fill) {
    alignas(nlmsghdr) unsigned char buffer[kBufferSize] = {};
    nlmsghdr *request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = type;
    request->nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | flags;
    auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)));
    ifi->ifi_family = AF_UNSPEC;
    ifi->ifi_index = static_cast<int>(index);
    fill(request, ifi);
    return socket_.transact(request, ignore_answer);
}

int LinkControl::add_kind(const std::string &name, const char *kind, const std::string *peer,
                          uint32_t parent, uint16_t vid, uint32_t index) {
    return change(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL, index, [&](nlmsghdr *request, ifinfomsg *) {
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
    });
}

int LinkControl::add_veth(const std::string &name, const std::string &peer, uint32_t index) {
    return add_kind(name, "veth", &peer, 0, 0, index);
}

int LinkControl::add_bridge(const std::string &name) {
    return add_kind(name, "bridge", nullptr, 0, 0, 0);
}

int LinkControl::add_vlan(const std::string &name, uint32_t parent, uint16_t vid) {
    return add_kind(name, "vlan", nullptr, parent, vid, 0);
}

int LinkControl::add_bond(const std::string &name) {
    return add_kind(name, "bond", nullptr, 0, 0, 0);
}

int LinkControl::set_up(uint32_t index, bool up) {
    return change(RTM_NEWLINK, 0, index, [up](nlmsghdr *, ifinfomsg *ifi) {
        ifi->ifi_change = IFF_UP;
        ifi->ifi_flags = up ? IFF_UP : 0;
    });
}

int LinkControl::set_mtu(uint32_t index, uint32_t mtu) {
    return change(RTM_NEWLINK, 0, index,
                  [mtu](nlmsghdr *request, ifinfomsg *) { mnl_attr_put_u32(request, IFLA_MTU, mtu); });
}

int LinkControl::set_mac(uint32_t index, const std::array<uint8_t, 6> &mac) {
    return change(RTM_NEWLINK, 0, index, [&mac](nlmsghdr *request, ifinfomsg *) {
        mnl_attr_put(request, IFLA_ADDRESS, mac.size(), mac.data());
    });
}

int LinkControl::set_master(uint32_t index, uint32_t master) {
    return change(RTM_NEWLINK, 0, index, [master](nlmsghdr *request, ifinfomsg *) {
        mnl_attr_put_u32(request, IFLA_MASTER, master);
    });
}

int LinkControl::rename(uint32_t index, const std::string &name) {
    return change(RTM_NEWLINK, 0, index, [&name](nlmsghdr *request, ifinfomsg *) {
        mnl_attr_put_strz(request, IFLA_IFNAME, name.c_str());
    });
}

int LinkControl::move_to_netns(uint32_t index, int netns_fd) {
    return change(RTM_NEWLINK, 0, index, [netns_fd](nlmsghdr *request, ifinfomsg *) {
        mnl_attr_put_u32(request, IFLA_NET_NS_FD, static_cast<uint32_t>(netns_fd));
    });
}

int LinkControl::add_altname(uint32_t index, const std::string &name) {
    return change(RTM_NEWLINKPROP, NLM_F_EXCL | NLM_F_APPEND, index,
                  [&name](nlmsghdr *request, ifinfomsg *) {
        nlattr *list = mnl_attr_nest_start(request, IFLA_PROP_LIST);
        mnl_attr_put_strz(request, IFLA_ALT_IFNAME, name.c_str());
        mnl_attr_nest_end(request, list);
    });
}

int LinkControl::remove(uint32_t index) {
    return change(RTM_DELLINK, 0, index, [](nlmsghdr *, ifinfomsg *) {});
}

} // namespace lcache_linux
