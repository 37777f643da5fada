// SPDX-License-Identifier: MIT
#include "link_source.h"

#include <linux/if_bridge.h>

#include <cstring>

#include "held_links.h"
#include "numbering.h"

namespace lcache_linux {
namespace {

// Kept answers, by kernel ifindex modulo the slot count: enough for the
// links one refresh asks about (the link, its master or parent).
constexpr uint32_t kKeptSlots = 64;

struct KeptLink {
    bool valid = false;
    LinkInfo link;
};

struct KeptMembers {
    bool valid = false;
    uint32_t master = 0;
    Members members;
};

struct KnownName {
    uint32_t index;
    uint32_t if_index;
    char name[kNameSize];
};

const Held *innermost = nullptr;
bool listening = false;
KeptLink kept_links[kKeptSlots];
KeptMembers kept_members;
bool kept_vlans_valid = false;
VlanSet kept_vlans;
// Sorted by kernel ifindex; meaningful only while `names_in_step`.
PlainArray<KnownName> names;
bool names_in_step = false;

KeptLink &slot_of(uint32_t index) { return kept_links[index % kKeptSlots]; }

size_t name_position(uint32_t index) {
    return lower_bound_by(names, index, [](const KnownName &known) { return known.index; });
}

KnownName known_name(const LinkInfo &link) {
    KnownName known{link.index, os_ifindex(link), {}};
    memcpy(known.name, link.name, sizeof known.name);
    return known;
}

void forget_name(uint32_t index) {
    size_t at = name_position(index);
    if (at < names.size() && names[at].index == index)
        names.erase(at);
}

void learn_name(const LinkInfo &link) {
    if (!names_in_step || !numberable(link))
        return;
    size_t at = name_position(link.index);
    if (at < names.size() && names[at].index == link.index) {
        names[at] = known_name(link);
    } else if (!names.insert(at, known_name(link))) {
        // A name that cannot be kept must not leave an older one behind:
        // without memory, no name is kept until the next dump.
        names.clear();
        names_in_step = false;
    }
}

const LinkInfo *held_link(uint32_t index, bool &complete) {
    complete = false;
    for (const Held *held = innermost; held; held = held->outer()) {
        if (held->one() && held->one()->index == index)
            return held->one();
        if (held->links()) {
            complete = true;
            return find_link(*held->links(), index);
        }
    }
    return nullptr;
}

const LinkSet *held_dump() {
    for (const Held *held = innermost; held; held = held->outer())
        if (held->links())
            return held->links();
    return nullptr;
}

// The bridge VLANs to answer from: held, kept, or a fresh dump (kept
// while the bridge listens).
template <typename F>
Fetch with_vlans(F &&use) {
    for (const Held *held = innermost; held; held = held->outer()) {
        if (held->vlans()) {
            use(*held->vlans());
            return Fetch::ok;
        }
    }
    if (!(listening && kept_vlans_valid)) {
        Fetch fetch = dump_bridge_vlans(kept_vlans);
        if (fetch != Fetch::ok)
            return fetch;
        kept_vlans_valid = listening;
    }
    use(kept_vlans);
    return Fetch::ok;
}

} // namespace

Held::Held(const LinkInfo &link) : one_(&link), links_(nullptr), vlans_(nullptr), outer_(innermost) {
    innermost = this;
}

Held::Held(const LinkSet &links, const VlanSet *vlans)
    : one_(nullptr), links_(&links), vlans_(vlans), outer_(innermost) {
    innermost = this;
}

Held::~Held() { innermost = outer_; }

void peers_listen(bool on) {
    listening = on;
    peers_forget_answers();
    names.release();
    names_in_step = on;
}

void peers_forget_answers() {
    for (KeptLink &slot : kept_links)
        slot.valid = false;
    kept_members.valid = false;
    kept_vlans_valid = false;
}

void peers_saw_link(const LinkInfo &link, bool present) {
    KeptLink &slot = slot_of(link.index);
    if (slot.link.index == link.index)
        slot.valid = false;
    // A member's carrier or master, or a port's VLANs, may have moved.
    kept_members.valid = false;
    kept_vlans_valid = false;
    if (present)
        learn_name(link);
    else if (names_in_step)
        forget_name(link.index);
}

bool peers_kept_other_name(const LinkInfo &link) {
    if (!numberable(link))
        return false;
    const char *kept = kept_name(os_ifindex(link));
    return kept && strncmp(kept, link.name, kNameSize) != 0;
}

bool peers_renamed_all(const LinkSet *links) {
    names.clear();
    names_in_step = false;
    if (!links || !listening)
        return links == nullptr;
    if (!names.reserve(links->size()))
        return false;
    for (const LinkInfo &link : *links)
        if (numberable(link))
            names.push_back(known_name(link));
    names_in_step = true;
    return true;
}

// An index no link can have is refused by ask_link; it matches nothing
// held or kept.
Fetch fetch_link(uint32_t index, LinkInfo &out) {
    bool complete;
    if (const LinkInfo *held = held_link(index, complete)) {
        out = *held;
        return Fetch::ok;
    }
    if (complete)
        return Fetch::missing;
    KeptLink &slot = slot_of(index);
    if (listening && slot.valid && slot.link.index == index) {
        out = slot.link;
        return Fetch::ok;
    }
    Fetch fetch = ask_link(index, out);
    if (listening && fetch == Fetch::ok) {
        slot.link = out;
        slot.valid = true;
        learn_name(out);
    } else if (listening && fetch == Fetch::missing && names_in_step) {
        forget_name(index);
    }
    return fetch;
}

Fetch fetch_up_members(uint32_t master, Members &out) {
    if (const LinkSet *dump = held_dump()) {
        up_members_in(*dump, master, out);
        return Fetch::ok;
    }
    if (listening && kept_members.valid && kept_members.master == master) {
        out = kept_members.members;
        return Fetch::ok;
    }
    Fetch fetch = ask_up_members(master, out);
    if (listening && fetch == Fetch::ok)
        kept_members = KeptMembers{true, master, out};
    return fetch;
}

Fetch fetch_vlan_present(uint16_t vid, bool &present) {
    present = false;
    return with_vlans([&](const VlanSet &vlans) {
        for (const PortVlan &vlan : vlans)
            present = present || vlan.vid == vid;
    });
}

Fetch fetch_port_pvid(uint32_t index, uint16_t &pvid) {
    pvid = 0;
    return with_vlans([&](const VlanSet &vlans) {
        for (const PortVlan &vlan : vlans)
            if (vlan.port == index && (vlan.flags & BRIDGE_VLAN_INFO_PVID))
                pvid = vlan.vid;
    });
}

const char *kept_name(uint32_t if_index) {
    if (!listening || !names_in_step)
        return nullptr;
    uint32_t index = kernel_index(if_index);
    size_t at = name_position(index);
    if (at < names.size() && names[at].index == index && names[at].if_index == if_index)
        return names[at].name;
    return nullptr;
}

} // namespace lcache_linux
