// SPDX-License-Identifier: MIT
#include "host_set.h"

#include <linux/if.h>
#include <netlink/cache.h>
#include <netlink/netlink.h>
#include <netlink/route/link.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "lcache.h"
#include "lcache_linux.h"
#include "netif.h"
#include "netns.h"

// <linux/if.h> and <net/if.h> do not mix; this is the one function of the
// latter needed here.
extern "C" unsigned int if_nametoindex(const char *name);

namespace lbench {
namespace {

std::unique_ptr<HostSet> current;
bool failed = false;

// Room for every notification of a change batch, for both consumers alike,
// so that neither measures an overrun's resync instead of the stream.
constexpr int kReceiveBuffer = 8 << 20;

std::string failure(const std::string &what, int error) { return what + ": " + std::strerror(-error); }

bool enlarge_receive_buffer(int fd, std::string &why) {
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer) == 0)
        return true;
    why = failure("cannot enlarge a notification socket's buffer", -errno);
    return false;
}

} // namespace

// Every attribute the Linux peers serve is kept; flush option 2 marks only
// the link state stale, so a flushed query asks the kernel once.
lcache_attr attribute_block(uint32_t pairs) {
    lcache_attr attr{};
    attr.table_size = std::max(64u, std::bit_ceil(pairs * 2));
    attr.sync_mask = 0xFFFFFFFFu;
    attr.crit_mask = LCACHE_ATTR_LINKUP;
    attr.med_mask = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_MTU;
    attr.low_mask = 0xFFFFFFFFu;
    return attr;
}

namespace {

// Without IPv6 on the links, a change costs the kernel the same at every
// size: with it, each MTU or carrier change walks every link's IPv6 routes,
// which would time the kernel's routing table rather than the consumers.
void disable_ipv6() {
    for (const char *path : {"/proc/sys/net/ipv6/conf/all/disable_ipv6",
                             "/proc/sys/net/ipv6/conf/default/disable_ipv6"})
        if (FILE *file = std::fopen(path, "w")) {
            std::fputs("1", file);
            std::fclose(file);
        }
}

} // namespace

void note_failure() { failed = true; }
bool any_failure() { return failed; }

HostSet *HostSet::of_size(uint32_t pairs, std::string &why, Contenders want) {
    if (!current || current->size() != pairs) {
        release();
        std::unique_ptr<HostSet> set(new HostSet);
        if (!set->build(pairs, why))
            return nullptr;
        current = std::move(set);
    }
    if (want == Contenders::closed)
        current->close_contenders();
    else if (!current->open_contenders(why)) {
        current->close_contenders();
        return nullptr;
    }
    return current.get();
}

void HostSet::release() { current.reset(); }

HostSet::~HostSet() {
    close_contenders();
    for (Pair &p : pairs_)
        if (p.needle)
            rtnl_link_put(p.needle);
    if (ioctl_fd_ >= 0)
        close(ioctl_fd_);
}

bool HostSet::build(uint32_t pairs, std::string &why) {
    if (!lcache_linux::enter_private_netns(why))
        return false;
    disable_ipv6();
    if (int error = control_.open())
        return why = failure("cannot open a netlink socket", error), false;
    pairs_.resize(pairs);
    for (uint32_t i = 0; i < pairs; ++i) {
        Pair &p = pairs_[i];
        p.name = "eth" + std::to_string(i);
        const std::string peer = "peer" + std::to_string(i);
        if (int error = control_.add_veth(p.name, peer))
            return why = failure("cannot create " + p.name, error), false;
        p.near = if_nametoindex(p.name.c_str());
        p.peer = if_nametoindex(peer.c_str());
        if (int error = control_.set_up(p.near, true))
            return why = failure("cannot bring up " + p.name, error), false;
        if (int error = control_.set_up(p.peer, true))
            return why = failure("cannot bring up " + peer, error), false;
        p.needle = rtnl_link_alloc();
        rtnl_link_set_ifindex(p.needle, static_cast<int>(p.near));
        rtnl_link_set_family(p.needle, AF_UNSPEC);
        interfaces_.push_back(p.near);
        interfaces_.push_back(p.peer);
    }
    std::sort(interfaces_.begin(), interfaces_.end());
    ioctl_fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (ioctl_fd_ < 0)
        return why = failure("cannot open an ioctl socket", -errno), false;
    return wait_for_carrier(why);
}

// The cache warmed the way a client warms it, by asking about the near
// ends, and libnl's manager filled by its own dump.
bool HostSet::open_contenders(std::string &why) {
    if (contenders_open_)
        return true;
    lcache_attr attr = attribute_block(size());
    if (lcache_init(&attr) != 1)
        return why = "lcache_init failed", false;
    cache_up_ = true;
    if (int error = lcache_linux_open())
        return why = failure("cannot open the notification bridge", error), false;
    bridge_open_ = true;
    if (!enlarge_receive_buffer(lcache_linux_fd(), why))
        return false;
    for (const Pair &p : pairs_) {
        lcache_netif_is_linkup(p.near);
        lcache_netif_get_if_mtu(p.near);
    }
    if (!open_libnl(why))
        return false;
    if (drain_lcache() < 0 || drain_libnl() < 0)
        return why = "cannot read the notifications of the set-up", false;
    return contenders_open_ = check_agreement(why);
}

void HostSet::close_contenders() {
    if (manager_)
        nl_cache_mngr_free(manager_);
    manager_ = nullptr;
    links_ = nullptr;
    for (nl_sock **socket : {&libnl_socket_, &refill_socket_}) {
        if (*socket)
            nl_socket_free(*socket);
        *socket = nullptr;
    }
    if (bridge_open_)
        lcache_linux_close();
    bridge_open_ = false;
    if (cache_up_)
        lcache_cleanup();
    cache_up_ = false;
    contenders_open_ = false;
}

// The carrier of a veth end comes up from the kernel's link-watch work,
// a moment after both ends are up.
bool HostSet::wait_for_carrier(std::string &why) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (uint32_t i = 0; i < size(); ++i)
        while (!ioctl_running(i)) {
            if (std::chrono::steady_clock::now() > deadline)
                return why = "no carrier on " + pairs_[i].name + " after 10 s", false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    return true;
}

bool HostSet::open_libnl(std::string &why) {
    libnl_socket_ = nl_socket_alloc();
    if (!libnl_socket_)
        return why = "nl_socket_alloc failed", false;
    if (int error = nl_cache_mngr_alloc(libnl_socket_, NETLINK_ROUTE, 0, &manager_))
        return why = std::string("nl_cache_mngr_alloc: ") + nl_geterror(error), false;
    if (int error = nl_cache_mngr_add(manager_, "route/link", nullptr, nullptr, &links_))
        return why = std::string("nl_cache_mngr_add: ") + nl_geterror(error), false;
    if (!enlarge_receive_buffer(nl_socket_get_fd(libnl_socket_), why))
        return false;
    refill_socket_ = nl_socket_alloc();
    if (!refill_socket_)
        return why = "nl_socket_alloc failed", false;
    if (int error = nl_connect(refill_socket_, NETLINK_ROUTE))
        return why = std::string("nl_connect: ") + nl_geterror(error), false;
    return true;
}

int HostSet::libnl_fd() const { return libnl_socket_ ? nl_socket_get_fd(libnl_socket_) : -1; }

// Every contender must give the same answer about every interface before
// any of them is timed.
bool HostSet::check_agreement(std::string &why) {
    for (uint32_t i = 0; i < size(); ++i) {
        const bool cache = lcache_netif_is_linkup(pairs_[i].near) != 0;
        const bool kernel = netif_is_linkup(pairs_[i].near) != 0;
        if (cache != kernel || ioctl_running(i) != kernel || libnl_lower_up(i) != kernel)
            return why = "the contenders disagree about " + pairs_[i].name, false;
    }
    return true;
}

bool HostSet::shrink_notification_buffers(std::string &why) {
    // The kernel raises a request for 0 bytes to its own minimum.
    constexpr int kSmallest = 0;
    for (int fd : {lcache_linux_fd(), libnl_fd()})
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSmallest, sizeof kSmallest) != 0)
            return why = failure("cannot shrink a notification socket's buffer", -errno), false;
    return true;
}

bool HostSet::restore_notification_buffers(std::string &why) {
    return enlarge_receive_buffer(lcache_linux_fd(), why) && enlarge_receive_buffer(libnl_fd(), why);
}

int HostSet::drain_lcache() { return lcache_linux_dispatch(); }

int HostSet::drain_libnl() { return nl_cache_mngr_data_ready(manager_); }

bool HostSet::ioctl_running(uint32_t i) const {
    ifreq request{};
    std::memcpy(request.ifr_name, pairs_[i].name.c_str(), pairs_[i].name.size() + 1);
    if (ioctl(ioctl_fd_, SIOCGIFFLAGS, &request) != 0)
        return false;
    return request.ifr_flags & IFF_RUNNING;
}

rtnl_link *HostSet::libnl_link(const Pair &p) const {
    return reinterpret_cast<rtnl_link *>(nl_cache_search(links_, reinterpret_cast<nl_object *>(p.needle)));
}

bool HostSet::libnl_lower_up(uint32_t i) const {
    rtnl_link *link = libnl_link(pairs_[i]);
    if (!link)
        return false;
    const bool up = rtnl_link_get_flags(link) & IFF_LOWER_UP;
    rtnl_link_put(link);
    return up;
}

} // namespace lbench
