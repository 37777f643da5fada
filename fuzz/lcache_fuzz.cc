// SPDX-License-Identifier: MIT
// A stateful fuzzer of liblcache.  An input is a program: operation after
// operation, each a code byte and its arguments (fuzz_input.h), run against
// the cache in front of a small simulated leaf switch.  The operations call
// every exported entry point with keys known and unknown, change the
// switch with and without notifying the cache, inject peer, memory and
// hash-table failures, and start and stop the cache.  After each one the
// invariants of invariants.h must hold; a broken one aborts with the
// operation's name and what broke.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <syslog.h>
#include <vector>

#include "block_tracker.h"
#include "fuzz_entry.h"
#include "fuzz_state.h"
#include "invariants.h"
#include "mtrack.h"
#include "sim/leaf.h"
#include "sim/model_backend.h"
#include "sim/peer_calls.h"

namespace lcfuzz {

namespace {

const sim::Switch &starting_switch() {
    static const sim::Switch base = [] {
        sim::LeafOptions o;
        o.ethernet_ports = 8;
        o.port_channels = 2;
        o.members_per_channel = 2;
        o.vlans = 3;
        o.first_vlan = 10;
        o.subinterfaces = 2;
        o.loopbacks = 1;
        sim::Switch model = sim::build_leaf_switch(o);
        model.add_tunnel(sim::IfType::gre_tunnel, 1);
        model.add_vlan(20);
        model.set_primary_vlan(20, 10);
        return model;
    }();
    return base;
}

const std::vector<OpDesc> &all_ops() {
    static const std::vector<OpDesc> ops = [] {
        std::vector<OpDesc> all;
        for (auto group : {lifecycle_ops(), entry_ops(), query_ops(), notify_ops(), model_ops(),
                           fault_ops(), vlan_diag_ops(), watch_ops()})
            all.insert(all.end(), group.begin(), group.end());
        return all;
    }();
    return ops;
}

void disarm_faults() {
    sim::clear_faults();
    mtrack_fail_next(0);
    for (int op = 0; op < HT_FAULT_OP_COUNT; ++op)
        ht_fault_inject(static_cast<ht_fault_op_t>(op), 0);
}

// Every input starts from a freshly loaded library.
void reset_library() {
    disarm_faults();
    lcache_cleanup();
    memset(&lcache, 0, sizeof lcache);
    lcache_enabled = 0;
    lcache_do_sync = 0;
    lcache_error_cb = 0;
}

// Entries allocated but not in the if table.
std::set<const void *> outside_if_table() {
    std::set<const void *> outside = live_entry_blocks();
    for (void *e : lcinv::table_entries(lcache.if_table))
        outside.erase(e);
    return outside;
}

[[noreturn]] void fail(const char *op, const std::vector<std::string> &problems) {
    fprintf(stderr, "invariant broken after %s:\n", op);
    for (const std::string &p : problems)
        fprintf(stderr, "  %s\n", p.c_str());
    abort();
}

void check(State &s, const char *op) {
    lcinv::Expectations expect;
    expect.creatable = s.creatable;
    expect.orphans = outside_if_table();
    std::vector<std::string> problems = lcinv::check(expect);
    for (std::string &p : s.watches.check(expect.orphans))
        problems.push_back(std::move(p));
    if (!s.removes_may_fail && !expect.orphans.empty())
        problems.push_back(std::to_string(expect.orphans.size()) +
                           " entries are allocated outside the if table");
    if (!problems.empty())
        fail(op, problems);
}

// Stops the cache: it must return every entry, except those a failed
// delete left behind, which the harness returns itself.
void finish(State &s) {
    disarm_faults();
    s.watches.cleaned_up(lcache_cleanup() == 1);
    s.creatable = 0;
    check(s, "the final cleanup");
    for (const void *orphan : outside_if_table())
        mtrack_free(const_cast<void *>(orphan));
}

// What this process ran, reported when it exits.
uint64_t inputs_run, ops_run;

void report_totals() {
    fprintf(stderr, "lcache_fuzz: %llu operations in %llu inputs\n",
            static_cast<unsigned long long>(ops_run), static_cast<unsigned long long>(inputs_run));
}

// Allocations refused to the watch journal and list (the memory
// tracker's LCACHE_MEM_NONE of the library).
uint64_t failed_journal_allocs() {
    mtrack_usage_t usage{};
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_NONE, &usage);
    return usage.failed_allocs;
}

// Callback actions per operation.
constexpr int kCallbackBudget = 8;

bool trace_ops() {
    static const bool on = getenv("LCACHE_FUZZ_TRACE") != nullptr;
    return on;
}

} // namespace

} // namespace lcfuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The teardown of a stale entry writes a backtrace to the system log:
    // keep that away from the machine's log.
    setlogmask(LOG_MASK(LOG_EMERG));
    atexit(lcfuzz::report_totals);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace lcfuzz;
    static sim::Switch model;
    static sim::ModelBackend backend(model);
    model = starting_switch();
    sim::set_active_backend(&backend);
    reset_library();

    State s{Input(data, size), model};
    const std::vector<OpDesc> &ops = all_ops();
    while (!s.in.empty()) {
        const OpDesc &op = ops[s.in.below(static_cast<uint32_t>(ops.size()))];
        if (trace_ops())
            fprintf(stderr, "op %s\n", op.name);
        s.watches.budget = kCallbackBudget;
        s.watches.orphans_possible = s.removes_may_fail;
        const uint64_t journal_failures = failed_journal_allocs();
        try {
            op.run(s);
        } catch (const sim::ModelError &) {
            // The switch refused the change: nothing happened.
        } catch (const std::invalid_argument &) {
            // A fault the simulation cannot describe: none was armed.
        }
        // The cache drops an event it has no memory to record.
        if (failed_journal_allocs() != journal_failures)
            s.watches.events_lost();
        check(s, op.name);
        ++ops_run;
    }
    finish(s);
    ++inputs_run;
    return 0;
}
