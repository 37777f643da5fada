#include "kernel.h"

#include <linux/if_bridge.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cerrno>

#include "attrs.h"
#include "netlink_socket.h"
#include "numbering.h"

namespace lcache_linux {
namespace {

NetlinkSocket request_socket;
uint64_t round_trip_count = 0;
const LinkInfo *in_hand = nullptr;

// Room for one request: a header, ifinfomsg and two u32 attributes.
constexpr size_t kRequestSize = 128;

nlmsghdr *start_getlink(unsigned char *buffer, uint16_t flags, uint8_t family, int index,
                        uint32_t ext_mask) {
    nlmsghdr *request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = RTM_GETLINK;
    request->nlmsg_flags = NLM_F_REQUEST | flags;
    auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)));
    ifi->ifi_family = family;
    ifi->ifi_index = index;
    mnl_attr_put_u32(request, IFLA_EXT_MASK, ext_mask);
    return request;
}

template <typename F>
Fetch ask(nlmsghdr *request, F &&on_message) {
    if (!request_socket.is_open() && request_socket.open(0, false) < 0)
        return Fetch::failed;
    ++round_trip_count;
    int result = request_socket.transact(request, on_message);
    if (result == -ENODEV)
        return Fetch::missing;
    return result == 0 ? Fetch::ok : Fetch::failed;
}

// Calls `on_vlan(index, const bridge_vlan_info &)` for every VLAN of every
// port and bridge in the kernel's bridge VLAN dump.
template <typename F>
Fetch for_each_bridge_vlan(F &&on_vlan) {
    alignas(nlmsghdr) unsigned char buffer[kRequestSize] = {};
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_BRIDGE, 0, RTEXT_FILTER_BRVLAN);
    return ask(request, [&](const nlmsghdr *message) {
        if (message->nlmsg_type != RTM_NEWLINK)
            return MNL_CB_OK;
        const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
        auto port = static_cast<uint32_t>(ifi->ifi_index);
        for_each_attr(message, sizeof(ifinfomsg), [&](const nlattr *attr) {
            if (mnl_attr_get_type(attr) != IFLA_AF_SPEC)
                return MNL_CB_OK;
            return for_each_nested(attr, [&](const nlattr *inner) {
                if (mnl_attr_get_type(inner) == IFLA_BRIDGE_VLAN_INFO &&
                    mnl_attr_get_payload_len(inner) >= sizeof(bridge_vlan_info))
                    on_vlan(port, *static_cast<const bridge_vlan_info *>(
                                      mnl_attr_get_payload(inner)));
                return MNL_CB_OK;
            });
        });
        return MNL_CB_OK;
    });
}

} // namespace

Fetch fetch_link(uint32_t index, LinkInfo &out) {
    if (index == 0 || index > 0x7FFFFFFF)
        return Fetch::missing;
    if (in_hand && in_hand->index == index) {
        out = *in_hand;
        return Fetch::ok;
    }
    alignas(nlmsghdr) unsigned char buffer[kRequestSize] = {};
    nlmsghdr *request =
        start_getlink(buffer, 0, AF_UNSPEC, static_cast<int>(index), RTEXT_FILTER_SKIP_STATS);
    bool parsed = false;
    Fetch fetch = ask(request, [&](const nlmsghdr *message) {
        parsed = parse_link(message, out) && out.index == index;
        return MNL_CB_OK;
    });
    if (fetch == Fetch::ok && !parsed)
        return Fetch::failed;
    return fetch;
}

Fetch fetch_up_members(uint32_t master, uint32_t *members, size_t capacity, size_t &count) {
    count = 0;
    alignas(nlmsghdr) unsigned char buffer[kRequestSize] = {};
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_UNSPEC, 0, RTEXT_FILTER_SKIP_STATS);
    // The kernel filters the dump by master; older kernels send every link,
    // so the master is checked here as well.
    mnl_attr_put_u32(request, IFLA_MASTER, master);
    Fetch fetch = ask(request, [&](const nlmsghdr *message) {
        LinkInfo link;
        if (parse_link(message, link) && link.master == master && is_linkup(link) &&
            count < capacity)
            members[count++] = link.index;
        return MNL_CB_OK;
    });
    std::sort(members, members + count);
    return fetch;
}

Fetch fetch_vlan_present(uint16_t vid, bool &present) {
    present = false;
    return for_each_bridge_vlan([&](uint32_t, const bridge_vlan_info &info) {
        if (info.vid == vid)
            present = true;
    });
}

Fetch fetch_port_pvid(uint32_t index, uint16_t &pvid) {
    pvid = 0;
    return for_each_bridge_vlan([&](uint32_t port, const bridge_vlan_info &info) {
        if (port == index && (info.flags & BRIDGE_VLAN_INFO_PVID))
            pvid = info.vid;
    });
}

Fetch for_each_link(void (*on_link)(const LinkInfo &, void *), void *data) {
    alignas(nlmsghdr) unsigned char buffer[kRequestSize] = {};
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_UNSPEC, 0, RTEXT_FILTER_SKIP_STATS);
    return ask(request, [&](const nlmsghdr *message) {
        LinkInfo link;
        if (parse_link(message, link))
            on_link(link, data);
        return MNL_CB_OK;
    });
}

void close_request_socket() { request_socket.close(); }

uint64_t round_trips() { return round_trip_count; }
void reset_round_trips() { round_trip_count = 0; }

InHand::InHand(const LinkInfo &link) : previous_(in_hand) { in_hand = &link; }
InHand::~InHand() { in_hand = previous_; }

} // namespace lcache_linux
