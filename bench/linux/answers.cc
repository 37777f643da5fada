#include "answers.h"

#include <linux/if.h>
#include <netlink/addr.h>
#include <netlink/route/link.h>
#include <sys/ioctl.h>

#include <cstring>

#include "lcache.h"

namespace lbench {
namespace {

void copy_name(Answers &answers, const char *name) {
    if (name)
        std::memcpy(answers.name.data(), name, strnlen(name, answers.name.size() - 1));
}

uint32_t differences(const Answers &a, const Answers &b) {
    return (a.up != b.up) + (a.mtu != b.mtu) + (a.mac != b.mac) + (a.name != b.name);
}

} // namespace

Answers lcache_answers(uint32_t iod) {
    Answers answers;
    answers.up = lcache_netif_is_linkup(iod) != 0;
    answers.mtu = lcache_netif_get_if_mtu(iod);
    if (const uint8_t *mac = lcache_netif_get_if_mac_addr(iod))
        std::memcpy(answers.mac.data(), mac, answers.mac.size());
    copy_name(answers, lcache_netif_get_if_name(iod));
    return answers;
}

Answers libnl_answers(nl_cache *links, uint32_t index) {
    Answers answers;
    rtnl_link *link = rtnl_link_get(links, static_cast<int>(index));
    if (!link)
        return answers;
    answers.up = rtnl_link_get_flags(link) & IFF_LOWER_UP;
    answers.mtu = rtnl_link_get_mtu(link);
    if (nl_addr *mac = rtnl_link_get_addr(link); mac && nl_addr_get_len(mac) == answers.mac.size())
        std::memcpy(answers.mac.data(), nl_addr_get_binary_addr(mac), answers.mac.size());
    copy_name(answers, rtnl_link_get_name(link));
    rtnl_link_put(link);
    return answers;
}

Answers kernel_answers(int ioctl_fd, uint32_t index) {
    Answers answers;
    ifreq request{};
    request.ifr_ifindex = static_cast<int>(index);
    if (ioctl(ioctl_fd, SIOCGIFNAME, &request) != 0)
        return answers;
    copy_name(answers, request.ifr_name);
    if (ioctl(ioctl_fd, SIOCGIFFLAGS, &request) == 0)
        answers.up = request.ifr_flags & IFF_RUNNING;
    if (ioctl(ioctl_fd, SIOCGIFMTU, &request) == 0)
        answers.mtu = static_cast<uint32_t>(request.ifr_mtu);
    if (ioctl(ioctl_fd, SIOCGIFHWADDR, &request) == 0)
        std::memcpy(answers.mac.data(), request.ifr_hwaddr.sa_data, answers.mac.size());
    return answers;
}

uint32_t disagreements(int ioctl_fd, const std::vector<uint32_t> &interfaces,
                       const std::vector<Answers> &answers) {
    uint32_t count = 0;
    for (size_t i = 0; i < interfaces.size(); ++i)
        count += i < answers.size() ? differences(answers[i], kernel_answers(ioctl_fd, interfaces[i])) : 4;
    return count;
}

} // namespace lbench
