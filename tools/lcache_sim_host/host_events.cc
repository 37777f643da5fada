// SPDX-License-Identifier: MIT
#include "host_events.h"

#include <cinttypes>

#include "printed.h"

namespace lchost {
namespace {

using tooltext::printed;

std::string flag(bool set) { return set ? "1" : "0"; }

struct AttributeText {
    uint32_t bit;
    const char *name;
    // Null for an attribute the entry holds no value of.
    std::string (*value)(const lcache_if_entry_t &);
};

// In bit order, so a line lists its attributes always in the same order.
constexpr AttributeText kAttributes[] = {
    {LCACHE_ATTR_IF_INDEX, "ifindex", [](const auto &e) { return printed("0x%08x", e.if_index); }},
    {LCACHE_ATTR_IOD, "iod", [](const auto &e) { return std::to_string(e.iod); }},
    {LCACHE_ATTR_PI, "pi", [](const auto &e) { return std::to_string(e.pi); }},
    {LCACHE_ATTR_LIF, "lif", [](const auto &e) { return printed("0x%x", e.lif); }},
    {LCACHE_ATTR_ENCAP, "encap", [](const auto &e) { return std::to_string(e.encap); }},
    {LCACHE_ATTR_EXT, "ext", [](const auto &e) { return std::to_string(e.extn); }},
    {LCACHE_ATTR_EXT1, "ext1", [](const auto &e) { return std::to_string(e.extn1); }},
    {LCACHE_ATTR_EXT2, "ext2", [](const auto &e) { return std::to_string(e.extn2); }},
    {LCACHE_ATTR_EXT3, "ext3", [](const auto &e) { return std::to_string(e.extn3); }},
    {LCACHE_ATTR_MAC, "mac",
     [](const auto &e) {
         return printed("%02x:%02x:%02x:%02x:%02x:%02x", e.mac[0], e.mac[1], e.mac[2], e.mac[3],
                        e.mac[4], e.mac[5]);
     }},
    {LCACHE_ATTR_VLAN, "vlan", [](const auto &e) { return std::to_string(e.vlan); }},
    {LCACHE_ATTR_CONTEXT, "context", [](const auto &e) { return printed("0x%x", e.ctx); }},
    {LCACHE_ATTR_BASE_TID, "table", [](const auto &e) { return std::to_string(e.tid); }},
    {LCACHE_ATTR_MTU, "mtu", [](const auto &e) { return std::to_string(e.mtu); }},
    {LCACHE_ATTR_NAME, "name", nullptr},
    {LCACHE_ATTR_SWITCHPORT, "switchport",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_SWPORT); }},
    {LCACHE_ATTR_SWITCHING, "switching",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_SW); }},
    {LCACHE_ATTR_LINKUP, "linkup",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_LINKUP); }},
    {LCACHE_ATTR_PROTOUP, "protoup",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_PROTOUP); }},
    {LCACHE_ATTR_ETHERNET, "ethernet",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_ETH); }},
    {LCACHE_ATTR_IS_VLAN, "is_vlan",
     [](const auto &e) { return flag(e.flags & LCACHE_FLAG_ISVLAN); }},
    {LCACHE_ATTR_IPS, "ips", [](const auto &e) { return flag(e.flags & LCACHE_FLAG_IPS); }},
    {LCACHE_ATTR_NULL, "null", [](const auto &e) { return flag(e.flags & LCACHE_FLAG_NULL); }},
    {LCACHE_ATTR_P2P, "p2p", [](const auto &e) { return flag(e.flags2 & LCACHE_FLAG2_P2P); }},
    {LCACHE_ATTR_LOOPBACK, "loopback",
     [](const auto &e) { return flag(e.flags2 & LCACHE_FLAG2_LO); }},
    {LCACHE_ATTR_IF_TYPE, "type", [](const auto &e) { return std::to_string(e.if_type); }},
    {LCACHE_ATTR_AGG_IF, "agg_if", [](const auto &e) { return printed("0x%08x", e.agg_if); }},
    {LCACHE_ATTR_SUBIF, "subif", [](const auto &e) { return printed("0x%08x", e.agg_if); }},
};

// The attributes of `bits`, comma-separated; with the entries given, each
// one that has a value as name:before->after.
std::string attribute_list(uint32_t bits, const lcache_if_entry_t *before,
                           const lcache_if_entry_t *after) {
    std::string out;
    for (const AttributeText &attribute : kAttributes) {
        if (!(bits & attribute.bit))
            continue;
        out += out.empty() ? "" : ",";
        out += attribute.name;
        if (attribute.value && before && after)
            out += ":" + attribute.value(*before) + "->" + attribute.value(*after);
        bits &= ~attribute.bit;
    }
    if (bits)
        out += printed("%s0x%x", out.empty() ? "" : ",", bits);
    return out;
}

const char *kind_name(uint32_t event) {
    switch (event) {
    case LCACHE_CHANGE_ADDED: return "added";
    case LCACHE_CHANGE_UPDATED: return "updated";
    case LCACHE_CHANGE_REMOVED: return "removed";
    }
    return "unknown";
}

struct Sink {
    EventCounts *counts;
    FILE *out;
};

Sink sink;

void heard(const lcache_change_t *change, void *) {
    switch (change->event) {
    case LCACHE_CHANGE_ADDED: ++sink.counts->added; break;
    case LCACHE_CHANGE_UPDATED: ++sink.counts->updated; break;
    case LCACHE_CHANGE_REMOVED: ++sink.counts->removed; break;
    }
    std::fprintf(sink.out, "%s\n", event_line(*change).c_str());
}

} // namespace

std::string event_line(const lcache_change_t &change) {
    std::string line = printed("event %s iod %" PRIu32 " if 0x%08" PRIx32, kind_name(change.event),
                               change.iod, change.if_index);
    if (change.changed)
        line += " changed " + attribute_list(change.changed, change.before, change.after);
    if (change.stale)
        line += " stale " + attribute_list(change.stale, nullptr, nullptr);
    return line;
}

int watch_every_event(EventCounts &counts, FILE *out) {
    sink = Sink{&counts, out};
    int handle = lcache_watch_add(0xFFFFFFFFu, heard, nullptr);
    counts.watched = handle >= 0;
    return handle;
}

} // namespace lchost
