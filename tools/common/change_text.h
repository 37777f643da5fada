// SPDX-License-Identifier: MIT
// The cache's change events as both tools show them (a scenario's trace,
// `lcache-sim host --watch`), one line each:
//   added iod 1 ifindex 0x1a001001
//   updated iod 1 ifindex 0x1a001001: linkup 1 -> 0, protoup 1 -> 0; stale mtu
//   removed iod 1 ifindex 0x1a001001
//   updated vlan 10: bd 10 -> 20
// The changed attributes in bit order, each with its value before and
// after (the name, never cached, alone); then the attributes gone stale.
#pragma once

#include <string>

#include "lcache.h"

namespace tooltext {

std::string change_text(const lcache_change_t &c);
std::string vlan_change_text(const lcache_vlan_change_t &c);

} // namespace tooltext
