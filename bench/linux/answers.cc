// SPDX-License-Identifier: MIT
#include "answers.h"

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/route/link.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lcache.h"
#include "netlink_socket.h"

namespace lbench {
namespace {

// A dump the kernel marks interrupted (links changed meanwhile) is asked
// again this many times at most.
constexpr int kDumpAttempts = 5;

void copy_name(Answers &answers, const char *name, size_t length) {
    std::memcpy(answers.name.data(), name, std::min(strnlen(name, length), answers.name.size() - 1));
}

uint32_t differences(const Answers &a, const Answers &b) {
    return (a.up != b.up) + (a.mtu != b.mtu) + (a.mac != b.mac) + (a.name != b.name);
}

int take_attribute(const nlattr *attr, void *data) {
    Answers &answers = *static_cast<Answers *>(data);
    const uint16_t length = mnl_attr_get_payload_len(attr);
    const auto *payload = static_cast<const char *>(mnl_attr_get_payload(attr));
    switch (mnl_attr_get_type(attr)) {
    case IFLA_IFNAME:
        copy_name(answers, payload, length);
        break;
    case IFLA_MTU:
        if (length == sizeof(uint32_t))
            answers.mtu = mnl_attr_get_u32(attr);
        break;
    case IFLA_ADDRESS:
        if (length == answers.mac.size())
            std::memcpy(answers.mac.data(), payload, answers.mac.size());
        break;
    }
    return MNL_CB_OK;
}

// The four answers in one RTM_NEWLINK message.
Answers parsed(const nlmsghdr *message) {
    Answers answers;
    answers.up = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message))->ifi_flags & IFF_LOWER_UP;
    mnl_attr_parse(message, sizeof(ifinfomsg), take_attribute, &answers);
    return answers;
}

} // namespace

nlmsghdr *link_dump_request(unsigned char *buffer) {
    nlmsghdr *request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = RTM_GETLINK;
    request->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    static_cast<ifinfomsg *>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)))->ifi_family = AF_UNSPEC;
    mnl_attr_put_u32(request, IFLA_EXT_MASK, RTEXT_FILTER_SKIP_STATS);
    return request;
}

namespace {

// Every link's answers by kernel ifindex, ascending, from one dump.
bool kernel_view(std::vector<std::pair<uint32_t, Answers>> &out) {
    alignas(nlmsghdr) unsigned char buffer[MNL_SOCKET_BUFFER_SIZE] = {};
    nlmsghdr *request = link_dump_request(buffer);
    lcache_linux::NetlinkSocket socket;
    if (socket.open(0, false) != 0)
        return false;
    for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
        out.clear();
        const int error = socket.transact(request, [&](const nlmsghdr *message) {
            if (message->nlmsg_type == RTM_NEWLINK && message->nlmsg_len >= mnl_nlmsg_size(sizeof(ifinfomsg))) {
                const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
                out.emplace_back(static_cast<uint32_t>(ifi->ifi_index), parsed(message));
            }
            return MNL_CB_OK;
        });
        if (error != -EINTR) {
            std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
            return error == 0;
        }
    }
    return false;
}

// Takes the reference the lookup gave.
Answers answers_of(rtnl_link *link) {
    Answers answers;
    if (!link)
        return answers;
    answers.up = rtnl_link_get_flags(link) & IFF_LOWER_UP;
    answers.mtu = rtnl_link_get_mtu(link);
    if (nl_addr *mac = rtnl_link_get_addr(link); mac && nl_addr_get_len(mac) == answers.mac.size())
        std::memcpy(answers.mac.data(), nl_addr_get_binary_addr(mac), answers.mac.size());
    if (const char *name = rtnl_link_get_name(link))
        copy_name(answers, name, answers.name.size());
    rtnl_link_put(link);
    return answers;
}

} // namespace

Answers lcache_answers(uint32_t iod) {
    Answers answers;
    answers.up = lcache_netif_is_linkup(iod) != 0;
    answers.mtu = lcache_netif_get_if_mtu(iod);
    if (const uint8_t *mac = lcache_netif_get_if_mac_addr(iod))
        std::memcpy(answers.mac.data(), mac, answers.mac.size());
    if (const char *name = lcache_netif_get_if_name(iod))
        copy_name(answers, name, answers.name.size());
    return answers;
}

Answers libnl_answers(nl_cache *links, uint32_t index) {
    return answers_of(rtnl_link_get(links, static_cast<int>(index)));
}

Answers libnl_answers_hashed(nl_cache *links, rtnl_link *key) {
    return answers_of(reinterpret_cast<rtnl_link *>(nl_cache_search(links, reinterpret_cast<nl_object *>(key))));
}

LibnlKeys::LibnlKeys(const std::vector<uint32_t> &interfaces) {
    for (uint32_t index : interfaces) {
        rtnl_link *key = rtnl_link_alloc();
        rtnl_link_set_ifindex(key, static_cast<int>(index));
        rtnl_link_set_family(key, AF_UNSPEC);
        keys_.push_back(key);
    }
}

LibnlKeys::~LibnlKeys() {
    for (rtnl_link *key : keys_)
        rtnl_link_put(key);
}

std::optional<uint32_t> disagreements(const std::vector<uint32_t> &interfaces,
                                      const std::vector<Answers> &answers) {
    std::vector<std::pair<uint32_t, Answers>> kernel;
    if (!kernel_view(kernel))
        return std::nullopt;
    uint32_t count = 0;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        auto at = std::lower_bound(kernel.begin(), kernel.end(), interfaces[i],
                                   [](const auto &known, uint32_t index) { return known.first < index; });
        const bool known = at != kernel.end() && at->first == interfaces[i];
        count += known ? differences(answers[i], at->second) : 4;
    }
    return count;
}

} // namespace lbench
