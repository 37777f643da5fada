// SPDX-License-Identifier: MIT
// Change events as text.
#include "change_text.h"

#include "printed.h"

namespace tooltext {
namespace {

std::string hex(uint32_t value) { return printed("0x%x", value); }

std::string number(uint32_t value) { return std::to_string(value); }

// An index key may hold its "none" value.
std::string key(uint32_t value) { return value == 0xFFFFFFFFu ? "none" : number(value); }

std::string mac(const uint8_t *m) {
    return printed("%02x%02x.%02x%02x.%02x%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
}

std::string ext(uint32_t value, uint32_t size) { return hex(value) + "/" + number(size); }

// One attribute's bit, its name, and its value in an entry; no `value` for
// the name, which is never cached.
template <class Entry> struct Attr {
    uint32_t bit;
    const char *name;
    std::string (*value)(const Entry &);
};

template <uint8_t lcache_if_entry_t::*Field, uint8_t Flag>
std::string flag(const lcache_if_entry_t &e) {
    return (e.*Field & Flag) ? "1" : "0";
}

using IfAttr = Attr<lcache_if_entry_t>;
using E = lcache_if_entry_t;
constexpr auto kFlags = &E::flags;
constexpr auto kFlags2 = &E::flags2;

const IfAttr kIfAttrs[] = {
    {LCACHE_ATTR_IF_INDEX, "ifindex", [](const E &e) { return hex(e.if_index); }},
    {LCACHE_ATTR_IOD, "iod", [](const E &e) { return key(e.iod); }},
    {LCACHE_ATTR_PI, "pi", [](const E &e) { return key(e.pi); }},
    {LCACHE_ATTR_LIF, "lif", [](const E &e) { return key(e.lif); }},
    {LCACHE_ATTR_ENCAP, "encap", [](const E &e) { return number(e.encap); }},
    {LCACHE_ATTR_EXT, "ext", [](const E &e) { return ext(e.extn, e.extn_size); }},
    {LCACHE_ATTR_EXT1, "ext1", [](const E &e) { return ext(e.extn1, e.extn1_size); }},
    {LCACHE_ATTR_EXT2, "ext2", [](const E &e) { return ext(e.extn2, e.extn2_size); }},
    {LCACHE_ATTR_EXT3, "ext3", [](const E &e) { return ext(e.extn3, e.extn3_size); }},
    {LCACHE_ATTR_MAC, "mac", [](const E &e) { return mac(e.mac); }},
    {LCACHE_ATTR_VLAN, "vlan",
     [](const E &e) { return number(e.vlan) + " info " + hex(e.vlan_info); }},
    {LCACHE_ATTR_CONTEXT, "context", [](const E &e) { return number(e.ctx); }},
    {LCACHE_ATTR_BASE_TID, "tid", [](const E &e) { return number(e.tid); }},
    {LCACHE_ATTR_MTU, "mtu", [](const E &e) { return number(e.mtu); }},
    {LCACHE_ATTR_NAME, "name", nullptr},
    {LCACHE_ATTR_SWITCHPORT, "switchport", flag<kFlags, LCACHE_FLAG_SWPORT>},
    {LCACHE_ATTR_SWITCHING, "switching", flag<kFlags, LCACHE_FLAG_SW>},
    {LCACHE_ATTR_LINKUP, "linkup", flag<kFlags, LCACHE_FLAG_LINKUP>},
    {LCACHE_ATTR_PROTOUP, "protoup", flag<kFlags, LCACHE_FLAG_PROTOUP>},
    {LCACHE_ATTR_ETHERNET, "ethernet", flag<kFlags, LCACHE_FLAG_ETH>},
    {LCACHE_ATTR_IS_VLAN, "is-vlan", flag<kFlags, LCACHE_FLAG_ISVLAN>},
    {LCACHE_ATTR_IPS, "ips", flag<kFlags, LCACHE_FLAG_IPS>},
    {LCACHE_ATTR_NULL, "null", flag<kFlags, LCACHE_FLAG_NULL>},
    {LCACHE_ATTR_P2P, "p2p", flag<kFlags2, LCACHE_FLAG2_P2P>},
    {LCACHE_ATTR_LOOPBACK, "loopback", flag<kFlags2, LCACHE_FLAG2_LO>},
    {LCACHE_ATTR_IF_TYPE, "type", [](const E &e) { return number(e.if_type); }},
    {LCACHE_ATTR_AGG_IF, "agg-if", [](const E &e) { return hex(e.agg_if); }},
    // A sub-interface's parent shares the first member's field.
    {LCACHE_ATTR_SUBIF, "subif", [](const E &e) { return hex(e.agg_if); }},
};

using V = lcache_vlan_entry_t;
const Attr<V> kVlanAttrs[] = {
    {LCACHE_ATTR_PVLAN, "pvlan", [](const V &e) { return number(e.pvlan); }},
    {LCACHE_ATTR_BD, "bd", [](const V &e) { return number(e.bd); }},
    {LCACHE_ATTR_FINDEX, "findex", [](const V &e) { return number(e.fi); }},
};

const char *event_name(uint32_t event) {
    switch (event) {
    case LCACHE_CHANGE_ADDED: return "added";
    case LCACHE_CHANGE_UPDATED: return "updated";
    case LCACHE_CHANGE_REMOVED: return "removed";
    default: return "unknown";
    }
}

// ": a 1 -> 2, b; stale c, d" for the attributes of `attrs` that changed
// or went stale; bits no attribute names are shown as a number.
template <class Entry, size_t N>
std::string attrs_text(const Attr<Entry> (&attrs)[N], uint32_t changed, uint32_t stale,
                       const Entry *before, const Entry *after) {
    std::string changes, stales;
    uint32_t named = 0;
    for (const Attr<Entry> &a : attrs) {
        named |= a.bit;
        if (changed & a.bit) {
            changes += (changes.empty() ? "" : ", ") + std::string(a.name);
            if (a.value && before && after)
                changes += " " + a.value(*before) + " -> " + a.value(*after);
        }
        if (stale & a.bit)
            stales += (stales.empty() ? "" : ", ") + std::string(a.name);
    }
    if (changed & ~named)
        changes += (changes.empty() ? "bits " : ", bits ") + hex(changed & ~named);
    if (stale & ~named)
        stales += (stales.empty() ? "bits " : ", bits ") + hex(stale & ~named);
    std::string text;
    if (!changes.empty())
        text = changes;
    if (!stales.empty())
        text += (text.empty() ? "stale " : "; stale ") + stales;
    return text.empty() ? "" : ": " + text;
}

} // namespace

std::string change_text(const lcache_change_t &c) {
    return std::string(event_name(c.event)) + " iod " + key(c.iod) + " ifindex " +
           hex(c.if_index) + attrs_text(kIfAttrs, c.changed, c.stale, c.before, c.after);
}

std::string vlan_change_text(const lcache_vlan_change_t &c) {
    return std::string(event_name(c.event)) + " vlan " + number(c.vlan) +
           attrs_text(kVlanAttrs, c.changed, c.stale, c.before, c.after);
}

} // namespace tooltext
