// SPDX-License-Identifier: MIT
// The lookups every peer function starts from.
#pragma once

#include <cstdint>

#include "lcache_linux.h"
#include "link_source.h"
#include "numbering.h"

namespace lcache_linux {

// The link whose kernel ifindex is `iod`.
inline Fetch link_of_iod(uint32_t iod, LinkInfo &out) {
    Fetch fetch = fetch_link(iod, out);
    if (fetch == Fetch::ok && !numberable(out))
        return Fetch::missing;
    return fetch;
}

// The link an ifindex names: its kernel ifindex must exist and still be of
// the type in its top byte.
inline Fetch link_of_ifindex(uint32_t if_index, LinkInfo &out) {
    Fetch fetch = link_of_iod(kernel_index(if_index), out);
    if (fetch == Fetch::ok && os_ifindex(out) != if_index)
        return Fetch::missing;
    return fetch;
}

// The status a failed lookup answers.
inline uint32_t status_of(Fetch fetch) {
    switch (fetch) {
    case Fetch::ok:
        return 0;
    case Fetch::missing:
        return LCACHE_LINUX_NO_INTERFACE;
    case Fetch::failed:
        break;
    }
    return LCACHE_LINUX_KERNEL_FAILED;
}

// Answers `answer(link)` about iod's link, or `absent` when there is none.
template <typename T, typename F>
T about_iod(uint32_t iod, T absent, F &&answer) {
    LinkInfo link;
    return link_of_iod(iod, link) == Fetch::ok ? answer(link) : absent;
}

// The shape of every translation: a missing output is refused, a link
// `lookup` cannot find answers why, and `answer(link, *out)` gives the
// status of the rest.
template <typename Out, typename F>
uint32_t translate(Fetch (*lookup)(uint32_t, LinkInfo &), uint32_t key, Out *out, F &&answer) {
    if (!out)
        return LCACHE_LINUX_BAD_ARGUMENT;
    LinkInfo link;
    Fetch fetch = lookup(key, link);
    if (fetch != Fetch::ok)
        return status_of(fetch);
    return answer(link, *out);
}

} // namespace lcache_linux
