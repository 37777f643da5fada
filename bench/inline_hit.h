// lcache_netif_is_linkup as liblcache would run it with its iod lookup
// inlined (ht_lookup_u32): the same gate, hit test, counter and answer, and
// the library's own function for anything but a hit.  It lives in a shared
// library of its own, so the benchmark reaches it through the PLT exactly as
// a client reaches liblcache: the difference between the two rows is the
// lookup alone.
#pragma once

#include <cstdint>

extern "C" __attribute__((visibility("default"))) uint32_t inline_hit_is_linkup(uint32_t iod);
