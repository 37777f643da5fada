// SPDX-License-Identifier: MIT
#include "watch_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fuzz_state.h"
#include "invariants.h"

namespace lcfuzz {

namespace {

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// The keys and cached values of an entry: everything but its table links,
// its validity and dirty bits, and its bookkeeping counts.
bool same_values(const lcache_if_entry_t &a, const lcache_if_entry_t &b) {
    return a.if_index == b.if_index && a.iod == b.iod && a.pi == b.pi && a.lif == b.lif &&
           std::memcmp(a.mac, b.mac, sizeof a.mac) == 0 && a.encap == b.encap &&
           a.extn == b.extn && a.extn1 == b.extn1 && a.extn2 == b.extn2 && a.extn3 == b.extn3 &&
           a.extn_size == b.extn_size && a.extn1_size == b.extn1_size &&
           a.extn2_size == b.extn2_size && a.extn3_size == b.extn3_size && a.ctx == b.ctx &&
           a.tid == b.tid && a.vlan == b.vlan && a.mtu == b.mtu && a.vlan_info == b.vlan_info &&
           a.flags == b.flags && a.flags2 == b.flags2 && a.agg_if == b.agg_if &&
           a.if_type == b.if_type;
}

} // namespace

void Watches::initialised(bool ok, bool shadow) {
    if (!ok) {
        shadow_valid_ = false;
        return;
    }
    shadow_.clear();
    shadow_valid_ = shadow_handle_ >= 0;
    if (!shadow || shadow_handle_ >= 0)
        return;
    shadow_handle_ = lcache_watch_add(0xFFFFFFFFu, shadow_heard, this);
    shadow_valid_ = shadow_handle_ >= 0;
    if (shadow_handle_ < 0 && shadow_handle_ != -ENOMEM)
        problem("a full watch was refused with " + std::to_string(shadow_handle_));
}

void Watches::cleaned_up(bool ok) {
    if (!ok)
        return;
    for (auto &w : watchers_)
        w->handle = -1;
    shadow_lost();
}

void Watches::shadow_lost() {
    shadow_handle_ = -1;
    shadow_valid_ = false;
    shadow_.clear();
}

Watcher *Watches::add(State &s, bool vlan, uint32_t mask, Act act) {
    auto w = std::make_unique<Watcher>(Watcher{&s, vlan, mask, act});
    const int handle = vlan ? lcache_vlan_watch_add(mask, vlan_watch_heard, w.get())
                            : lcache_watch_add(mask, watch_heard, w.get());
    if (handle < 0) {
        if (handle != -ENOMEM)
            problem("a watch was refused with " + std::to_string(handle));
        return nullptr;
    }
    for (const auto &other : watchers_)
        if (other->vlan == vlan && other->handle == handle)
            problem("handle " + std::to_string(handle) + " given to two live watches");
    if (!vlan && handle == shadow_handle_)
        problem("handle " + std::to_string(handle) + " given to the shadow's too");
    w->handle = handle;
    watchers_.push_back(std::move(w));
    return watchers_.back().get();
}

void Watches::remove(bool vlan, int handle) {
    const int result = vlan ? lcache_vlan_watch_remove(handle) : lcache_watch_remove(handle);
    bool known = !vlan && handle >= 0 && handle == shadow_handle_;
    if (known && result == 0)
        shadow_lost();
    for (auto &w : watchers_) {
        if (w->vlan != vlan || w->handle < 0 || w->handle != handle)
            continue;
        known = true;
        if (result == 0)
            w->handle = -1;
    }
    if (known ? result != 0 : result != -ENOENT)
        problem(std::string(vlan ? "VLAN " : "") + "watch " + std::to_string(handle) +
                (known ? " is live but its removal answered " : " is unknown but its removal answered ") +
                std::to_string(result));
}

int Watches::pick_handle(State &s, bool vlan) {
    const uint32_t pick = s.in.below(static_cast<uint32_t>(watchers_.size()) + 2);
    if (pick < watchers_.size())
        return watchers_[pick]->vlan == vlan ? watchers_[pick]->handle : static_cast<int>(pick);
    if (pick == watchers_.size() && !vlan)
        return shadow_handle_;
    return static_cast<int>(s.in.u8()) - 1;
}

void Watches::shadow_heard(const lcache_change_t *c, void *watches) {
    auto &self = *static_cast<Watches *>(watches);
    auto &shadow = self.shadow_;
    // Once a failed delete may have orphaned an entry, events about it
    // share the ifindex of live entries (check()).
    const bool judged = self.shadow_valid_ && !self.orphans_possible;
    if (c->before && shadow.erase(c->before->if_index) == 0 && judged)
        self.problem("an event's before names if " + hex(c->before->if_index) +
                     ", which no event added");
    if (c->after && !shadow.insert_or_assign(c->after->if_index, *c->after).second && judged)
        self.problem("an event's after names if " + hex(c->after->if_index) +
                     ", which the shadow already holds");
}

std::vector<std::string> Watches::check(const std::set<const void *> &orphans) {
    std::vector<std::string> out = std::move(problems_);
    problems_.clear();
    // An entry a failed delete left outside the if table was never
    // released, so no event said it was removed; it may still sit in a
    // keyed table, where an operation can change it and be heard under
    // the ifindex of a live entry.  The shadow waits for the next init.
    if (!orphans.empty())
        shadow_valid_ = false;
    if (!shadow_valid_)
        return out;
    size_t cached = 0;
    for (void *p : lcinv::table_entries(lcache.if_table)) {
        const auto &e = *static_cast<const lcache_if_entry_t *>(p);
        ++cached;
        const auto it = shadow_.find(e.if_index);
        if (it == shadow_.end())
            out.push_back("if " + hex(e.if_index) + " is cached but no event added it");
        else if (!same_values(it->second, e))
            out.push_back("if " + hex(e.if_index) + " holds values its events did not give");
    }
    if (cached != shadow_.size())
        out.push_back("the events leave " + std::to_string(shadow_.size()) +
                      " entries, the cache holds " + std::to_string(cached));
    return out;
}

} // namespace lcfuzz
