// SPDX-License-Identifier: MIT
// Requests this process sends, counted by a sendmsg and a sendto of the
// program's own put in front of the C library's: how libnl's kernel round
// trips are counted, since libnl keeps no such count.  Every request a
// netlink client makes goes through one of the two (libnl: sendmsg; libmnl
// and so liblcache_linux: sendto).
#pragma once

#include <cstdint>

namespace lbench {

uint64_t requests_sent();

} // namespace lbench
