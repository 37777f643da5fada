// SPDX-License-Identifier: MIT
// Changes to the kernel's links over rtnetlink, each acknowledged by the
// kernel before the call returns: what the tests, the benchmarks and the
// host job do to the interfaces the cache watches.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "netlink_socket.h"

namespace lcache_linux {

class LinkControl {
  public:
    // Every call returns 0 or a negative errno (the kernel's own refusal
    // included); callers check it, since a change the kernel refused must
    // not pass for a cache that failed to notice it.
    int open();
    // `index` 0 lets the kernel choose the near end's ifindex.
    int add_veth(const std::string &name, const std::string &peer, uint32_t index = 0);
    int add_bridge(const std::string &name);
    int add_vlan(const std::string &name, uint32_t parent, uint16_t vid);
    int add_bond(const std::string &name);
    int set_up(uint32_t index, bool up);
    int set_mtu(uint32_t index, uint32_t mtu);
    int set_mac(uint32_t index, const std::array<uint8_t, 6> &mac);
    int set_master(uint32_t index, uint32_t master); // 0 releases
    int rename(uint32_t index, const std::string &name);
    // Moves the link into the network namespace open as `netns_fd`.
    int move_to_netns(uint32_t index, int netns_fd);
    // An alternative name (each one lengthens the link's messages).
    int add_altname(uint32_t index, const std::string &name);
    int remove(uint32_t index);

  private:
    int add_kind(const std::string &name, const char *kind, const std::string *peer,
                 uint32_t parent, uint16_t vid, uint32_t index);
    template <typename F>
    int change(uint16_t type, uint16_t flags, uint32_t index, F &&fill);

    NetlinkSocket socket_;
};

} // namespace lcache_linux
