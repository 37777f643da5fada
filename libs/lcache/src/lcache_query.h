// SPDX-License-Identifier: MIT
// The attribute queries, for the library's own callers: a notification or
// a summary that asks through the cache counts its hits and misses as a
// client's query would.
#pragma once

#include <utility>

#include "lcache_attrs.h"
#include "lcache_serve.h"

namespace lc {

// A flag or a 16-bit value the interface manager answers by iod.  The
// pass-through hands on the peer's answer (a value cut to its width).
template <const auto &A> [[gnu::always_inline]] inline auto attr_query(uint32_t iod) {
    using Answer = decltype(read(std::declval<const lcache_if_entry_t &>(), A));
    lcache_if_entry_t *entry =
        serve_by_iod<A>(iod, [iod](lcache_if_entry_t &e) { take(e, A, A.peer(iod), A.queried); });
    if (!entry)
        return static_cast<Answer>(A.peer(iod));
    return read(*entry, A);
}

// lcache_netif_get_if_mac_addr, lcache_netif_get_vlan_info and
// lcache_netif_get_private_data.
uint8_t *mac_query(uint32_t iod);
uint32_t vlan_info_query(uint32_t iod, netif_vlan_info_t *info, uint32_t *word);
uint32_t private_data_query(uint32_t iod, uint32_t key, uint32_t *size);

// lcache_dmap_lib_si_to_ifidx and lcache_netif_get_iod_frm_ifindex.
uint32_t ifindex_from_si(uint32_t si, uint32_t *if_index);
uint32_t iod_from_ifindex(uint32_t if_index, uint32_t *iod);

} // namespace lc
