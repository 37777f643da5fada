// SPDX-License-Identifier: MIT
#include "host_queries.h"

#include <net/if.h>

#include <string_view>
#include <vector>

namespace lchost {
namespace {

using querycat::Key;
using querycat::kNone;
using querycat::Target;

// An ioctl, so no answer the peers keep can stand in for the kernel's.
Answer kernel_name(const Target &t) {
    static char name[IF_NAMESIZE];
    const char *text = if_indextoname(t.iod, name);
    return Answer{querycat::fnv1a(text), 0, text};
}

using Translation = uint32_t (*)(uint32_t, uint32_t *);

// The target of `kind` for interface `iod`, its ifindex from `to_ifindex`;
// a failed translation is the answer.
template <Translation ToIfindex>
Answer ask(const querycat::QueryKind &kind, Answer (*call)(const Target &), uint32_t iod) {
    Target t;
    t.iod = iod;
    if (kind.key == Key::ifindex)
        if (const uint32_t status = ToIfindex(iod, &t.ifindex))
            return Answer{kNone, status};
    return call(t);
}

std::vector<HostQuery> linux_queries() {
    std::vector<HostQuery> queries;
    for (const querycat::QueryKind &kind : querycat::query_kinds())
        if (kind.on_linux)
            queries.push_back(
                {&kind, std::string_view(kind.name) == "name" ? kernel_name : nullptr});
    return queries;
}

const std::vector<HostQuery> kQueries = linux_queries();

} // namespace

Answer HostQuery::cached(uint32_t iod) const {
    return ask<lcache_netif_get_ifindex_frm_iod>(*kind, kind->cached, iod);
}

Answer HostQuery::peer(uint32_t iod) const {
    return ask<netif_get_ifindex_frm_iod>(*kind, kind->direct, iod);
}

Answer HostQuery::kernel(uint32_t iod) const {
    return independent ? ask<netif_get_ifindex_frm_iod>(*kind, independent, iod) : peer(iod);
}

std::span<const HostQuery> host_queries() { return kQueries; }

const HostQuery &query_named(const char *name) {
    for (const HostQuery &query : kQueries)
        if (std::string_view(query.name()) == name)
            return query;
    return kQueries.front();
}

std::string mac_shown(const std::array<uint8_t, 6> &mac) {
    return querycat::show_mac(Answer{querycat::pack_mac(mac.data())});
}

} // namespace lchost
