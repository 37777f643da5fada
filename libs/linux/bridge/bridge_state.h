// SPDX-License-Identifier: MIT
// What the notification bridge keeps between calls.
#pragma once

#include "bond_members.h"
#include "lcache_linux.h"
#include "netlink_socket.h"

namespace lcache_linux {

struct BridgeState {
    NetlinkSocket notifications;
    lcache_linux_counters_t counters{};
    BondMembers bond_of_member;
    // Since a sync, a link the cache does not hold gets an entry when it
    // appears; before it, the client's questions decide what is cached.
    bool synced = false;
    // A dispatch or sync is running: they are not re-entered.
    bool busy = false;
};

BridgeState &bridge();

} // namespace lcache_linux
