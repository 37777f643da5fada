// SPDX-License-Identifier: MIT
#include "kernel.h"

#include <linux/if_bridge.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "attrs.h"
#include "netlink_socket.h"
#include "numbering.h"

namespace lcache_linux {
namespace {

NetlinkSocket request_socket;
uint64_t round_trip_count = 0;
uint64_t dump_retry_count = 0;

// Room for one request: a header, ifinfomsg and two u32 attributes.
constexpr size_t kRequestSize = 128;

struct Request {
    alignas(nlmsghdr) unsigned char bytes[kRequestSize] = {};
};

nlmsghdr *start_getlink(Request &buffer, uint16_t flags, uint8_t family, int index,
                        uint32_t ext_mask) {
    nlmsghdr *request = mnl_nlmsg_put_header(buffer.bytes);
    request->nlmsg_type = RTM_GETLINK;
    request->nlmsg_flags = NLM_F_REQUEST | flags;
    auto *ifi = static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)));
    ifi->ifi_family = family;
    ifi->ifi_index = index;
    mnl_attr_put_u32(request, IFLA_EXT_MASK, ext_mask);
    return request;
}

// One round trip; 0, -EINTR for an interrupted dump, or another errno.
template <typename F>
int ask(nlmsghdr *request, F &&on_message) {
    if (!request_socket.is_open()) {
        if (int error = request_socket.open(0, false))
            return error;
    }
    ++round_trip_count;
    return request_socket.transact(request, on_message);
}

Fetch fetch_of(int result) {
    if (result == -ENODEV)
        return Fetch::missing;
    return result == 0 ? Fetch::ok : Fetch::failed;
}

void back_off(int attempt) {
    timespec pause{0, (1L << attempt) * 1000000L};
    nanosleep(&pause, nullptr);
}

// Runs dump `once` (which starts by emptying what it fills) until the
// kernel gives it uninterrupted, at most kDumpAttempts times.
template <typename F>
Fetch dump_retrying(F &&once) {
    for (int attempt = 0;; ++attempt) {
        int result = once();
        if (result != -EINTR)
            return fetch_of(result);
        if (attempt + 1 == kDumpAttempts)
            return Fetch::failed;
        ++dump_retry_count;
        back_off(attempt);
    }
}

// Runs dump `request` until the kernel gives it uninterrupted, `out`
// emptied before each attempt and filled by `add(message)`, which answers
// false when it had no memory for what the message said.
template <typename T, typename F>
Fetch dump_into(nlmsghdr *request, PlainArray<T> &out, F &&add) {
    bool complete = true;
    Fetch fetch = dump_retrying([&] {
        out.clear();
        complete = true;
        return ask(request, [&](const nlmsghdr *message) {
            complete = add(message) && complete;
            return MNL_CB_OK;
        });
    });
    return fetch == Fetch::ok && !complete ? Fetch::failed : fetch;
}

bool take_up_member(const LinkInfo &link, uint32_t master, Members &out) {
    if (link.master != master || !is_linkup(link) || out.count == kMaxMembers)
        return false;
    out.index[out.count++] = link.index;
    return true;
}

} // namespace

const LinkInfo *find_link(const LinkSet &links, uint32_t index) {
    size_t at = lower_bound_by(links, index, [](const LinkInfo &link) { return link.index; });
    return at < links.size() && links[at].index == index ? &links[at] : nullptr;
}

Fetch ask_link(uint32_t index, LinkInfo &out) {
    if (index == 0 || index > 0x7FFFFFFF)
        return Fetch::missing;
    Request buffer;
    nlmsghdr *request =
        start_getlink(buffer, 0, AF_UNSPEC, static_cast<int>(index), RTEXT_FILTER_SKIP_STATS);
    bool parsed = false;
    Fetch fetch = fetch_of(ask(request, [&](const nlmsghdr *message) {
        parsed = parse_link(message, out) && out.index == index;
        return MNL_CB_OK;
    }));
    if (fetch == Fetch::ok && !parsed)
        return Fetch::failed;
    return fetch;
}

Fetch ask_up_members(uint32_t master, Members &out) {
    out.count = 0;
    Request buffer;
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_UNSPEC, 0, RTEXT_FILTER_SKIP_STATS);
    // The kernel filters the dump by master; older kernels send every link,
    // so the master is checked here as well.
    mnl_attr_put_u32(request, IFLA_MASTER, master);
    Fetch fetch = dump_retrying([&] {
        out.count = 0;
        return ask(request, [&](const nlmsghdr *message) {
            LinkInfo link;
            if (parse_link(message, link))
                take_up_member(link, master, out);
            return MNL_CB_OK;
        });
    });
    std::sort(out.index, out.index + out.count);
    return fetch;
}

void up_members_in(const LinkSet &links, uint32_t master, Members &out) {
    out.count = 0;
    for (const LinkInfo &link : links)
        take_up_member(link, master, out);
}

Fetch dump_links(LinkSet &out) {
    Request buffer;
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_UNSPEC, 0, RTEXT_FILTER_SKIP_STATS);
    Fetch fetch = dump_into(request, out, [&](const nlmsghdr *message) {
        LinkInfo link;
        return !parse_link(message, link) || out.push_back(link);
    });
    if (fetch == Fetch::ok)
        std::sort(out.begin(), out.end(),
                  [](const LinkInfo &a, const LinkInfo &b) { return a.index < b.index; });
    return fetch;
}

Fetch dump_bridge_vlans(VlanSet &out) {
    Request buffer;
    nlmsghdr *request = start_getlink(buffer, NLM_F_DUMP, AF_BRIDGE, 0, RTEXT_FILTER_BRVLAN);
    return dump_into(request, out, [&](const nlmsghdr *message) {
        if (message->nlmsg_type != RTM_NEWLINK ||
            message->nlmsg_len < mnl_nlmsg_size(sizeof(ifinfomsg)))
            return true;
        const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
        auto port = static_cast<uint32_t>(ifi->ifi_index);
        bool kept = true;
        for_each_attr(message, sizeof(ifinfomsg), [&](const nlattr *attr) {
            if (mnl_attr_get_type(attr) != IFLA_AF_SPEC)
                return MNL_CB_OK;
            return for_each_nested(attr, [&](const nlattr *inner) {
                if (mnl_attr_get_type(inner) != IFLA_BRIDGE_VLAN_INFO ||
                    mnl_attr_get_payload_len(inner) < sizeof(bridge_vlan_info))
                    return MNL_CB_OK;
                const auto *info =
                    static_cast<const bridge_vlan_info *>(mnl_attr_get_payload(inner));
                kept = out.push_back(PortVlan{port, info->vid, info->flags}) && kept;
                return MNL_CB_OK;
            });
        });
        return kept;
    });
}

void close_request_socket() { request_socket.close(); }

uint64_t round_trips() { return round_trip_count; }
uint64_t dump_retries() { return dump_retry_count; }
void reset_kernel_counters() { round_trip_count = dump_retry_count = 0; }

} // namespace lcache_linux
