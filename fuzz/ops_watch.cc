// SPDX-License-Identifier: MIT
// Change subscriptions: watches added and removed at random, by the
// operations and by the watches' own callbacks, which also query the cache
// and try the releases it must refuse them; operations bracketed as one.
#include <cerrno>
#include <cstring>
#include <functional>

#include "fuzz_state.h"
#include "invariants.h"

namespace lcfuzz {

namespace {

uint32_t mask(State &s) { return s.in.flag() ? ~0u : s.in.u32(); }

Act act(State &s) { return static_cast<Act>(s.in.below(static_cast<uint32_t>(Act::count))); }

bool held(const ht_table_t &table, uint32_t lcache_if_entry_t::*key, uint32_t value) {
    for (void *p : lcinv::table_entries(table))
        if (static_cast<lcache_if_entry_t *>(p)->*key == value)
            return true;
    return false;
}

bool cached(uint32_t if_index) {
    return held(lcache.if_table, &lcache_if_entry_t::if_index, if_index);
}

std::string named(const char *what, uint32_t value) {
    return std::string(what) + " " + std::to_string(value);
}

// What every event must look like, whoever hears it.
template <class Change> void check_shape(Watches &w, const Change &c, uint32_t watched) {
    const bool shaped = c.event == LCACHE_CHANGE_ADDED     ? !c.before && c.after
                        : c.event == LCACHE_CHANGE_REMOVED ? c.before && !c.after
                        : c.event == LCACHE_CHANGE_UPDATED ? c.before && c.after
                                                           : false;
    if (!shaped)
        w.problem(named("an event of kind", c.event) + " has the wrong entries");
    if (c.event == LCACHE_CHANGE_UPDATED && ((c.changed | c.stale) & watched) == 0)
        w.problem("a watch heard an update outside its mask");
    if (c.changed & c.stale)
        w.problem("an event's changed and stale bits overlap");
}

// A release a callback may not make: it must fail, change nothing and,
// when there was something to release, say why.
void refused_release(State &s, const lcache_change_t &c) {
    uint32_t if_index = c.if_index;
    bool found = true;
    const char *what = "";
    std::function<uint32_t()> call;
    switch (s.in.below(4)) {
    case 0:
        what = "lcache_if_remove_entry_by_iod";
        found = lcache_enabled && held(lcache.iod_table, &lcache_if_entry_t::iod, c.iod);
        call = [&] { return lcache_if_remove_entry_by_iod(c.iod); };
        break;
    case 1:
        what = "lcache_if_remove_entry_by_if";
        found = cached(c.if_index);
        call = [&] { return lcache_if_remove_entry_by_if(c.if_index); };
        break;
    case 2:
        what = "lcache_cleanup";
        call = [] { return lcache_cleanup(); };
        break;
    default: {
        what = "lcache_if_destroy_entry";
        lcache_if_entry_t *e = s.entry();
        if (!e)
            return;
        if_index = e->if_index;
        found = lcache_enabled; // disabled, it does nothing before it would refuse
        call = [e] {
            lcache_if_destroy_entry(e);
            return 0u;
        };
        break;
    }
    }
    const bool held = cached(if_index);
    lcache_print_str[0] = '\0';
    if (call() != 0)
        s.watches.problem(std::string(what) + " from a watch callback was not refused");
    if (held && !cached(if_index))
        s.watches.problem(std::string(what) + " from a watch callback released the entry");
    if (found && !std::strstr(lcache_print_str, "refused"))
        s.watches.problem(std::string(what) + " from a watch callback did not report: '" +
                          lcache_print_str + "'");
}

// What a watch does besides checking what it heard; `c` only for an
// interface watch.
void act_on(Watcher &w, uint32_t iod, const lcache_change_t *c) {
    State &s = *w.s;
    if (w.handle < 0)
        s.watches.problem("a removed watch heard an event");
    if (s.watches.budget <= 0)
        return;
    --s.watches.budget;
    switch (w.act) {
    case Act::remove_self: s.watches.remove(w.vlan, w.handle); break;
    case Act::remove_other: {
        const bool vlan = s.in.flag();
        s.watches.remove(vlan, s.watches.pick_handle(s, vlan));
        break;
    }
    case Act::refused_release:
        if (c)
            refused_release(s, *c);
        break;
    case Act::add_watch: s.watches.add(s, s.in.flag(), mask(s), act(s)); break;
    case Act::query: lcache_netif_get_if_mtu(iod); break;
    default: break;
    }
}

} // namespace

void watch_heard(const lcache_change_t *c, void *watcher) {
    Watcher &w = *static_cast<Watcher *>(watcher);
    check_shape(w.s->watches, *c, w.mask);
    act_on(w, c->iod, c);
}

void vlan_watch_heard(const lcache_vlan_change_t *c, void *watcher) {
    Watcher &w = *static_cast<Watcher *>(watcher);
    check_shape(w.s->watches, *c, w.mask);
    act_on(w, c->vlan, nullptr);
}

namespace {

void watch_add(State &s) { s.watches.add(s, s.in.flag(), mask(s), act(s)); }

void watch_remove(State &s) {
    const bool vlan = s.in.flag();
    s.watches.remove(vlan, s.watches.pick_handle(s, vlan));
}

// An end without a begin is refused.
void watch_end_alone(State &s) {
    if (const int result = lcache_watch_end(); result != -EINVAL)
        s.watches.problem(named("an unmatched lcache_watch_end answered", result));
}

// A few notifications, queries and entry operations as one operation,
// the bracket nested now and then.
void bracketed(State &s) {
    // Closed however the operations end: the switch may refuse a change.
    struct Bracket {
        State &s;
        int depth;
        Bracket(State &state, int n) : s(state), depth(n) {
            for (int i = 0; i < depth; ++i)
                lcache_watch_begin();
        }
        ~Bracket() {
            for (int i = 0; i < depth; ++i)
                if (const int result = lcache_watch_end(); result != 0)
                    s.watches.problem(named("a matched lcache_watch_end answered", result));
        }
    };
    const std::span<const OpDesc> groups[] = {notify_ops(), query_ops(), entry_ops()};
    const Bracket bracket(s, 1 + static_cast<int>(s.in.below(2)));
    for (uint32_t n = s.in.below(4) + 1; n > 0; --n) {
        const std::span<const OpDesc> group = groups[s.in.below(3)];
        group[s.in.below(static_cast<uint32_t>(group.size()))].run(s);
    }
}

void name_update(State &s) { lcache_update_name(s.iod()); }

constexpr OpDesc kOps[] = {
    {"watch_add", watch_add},     {"watch_remove", watch_remove},
    {"watch_end_alone", watch_end_alone}, {"bracketed", bracketed},
    {"name_update", name_update},
};

} // namespace

std::span<const OpDesc> watch_ops() { return kOps; }

} // namespace lcfuzz
