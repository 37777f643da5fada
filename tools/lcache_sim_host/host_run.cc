// SPDX-License-Identifier: MIT
#include "host_run.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <random>
#include <set>

#include "host_changes.h"
#include "host_queries.h"
#include "host_world.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "mtrack.h"
#include "other_netns.h"

namespace lchost {
namespace {

using Clock = std::chrono::steady_clock;

// How long the kernel may take to report a change (carrier and operational
// state come from its link-watch work queue) before a wrong answer counts.
constexpr auto kSettleLimit = std::chrono::seconds(2);
// Changes of one burst in --overrun mode, made without reading in between.
constexpr uint32_t kOverrunBurst = 64;
constexpr uint64_t kOverrunBurstEvery = 25;
// The share of the workload's changes that are a late burst instead.
constexpr double kLateBurstShare = 1.0 / 150;
constexpr int kQuietMs = 300;
constexpr uint32_t kHotDivisor = 8; // an eighth of the pairs is hot
constexpr double kHotShare = 0.9;
// What a burst is made of: changes cheap enough to make by the thousand.
constexpr ChangeKind kBurstKinds[] = {ChangeKind::carrier, ChangeKind::admin, ChangeKind::mtu,
                                      ChangeKind::mac, ChangeKind::bridge};

lcache_linux_counters_t counters() {
    lcache_linux_counters_t c;
    lcache_linux_get_counters(&c);
    return c;
}

uint64_t round_trips() { return counters().round_trips; }

double ms_of(Clock::duration time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

std::string error_text(int error) { return std::strerror(-error); }

// Every attribute the Linux peers serve, kept; flush option 1 marks the
// link-level attributes stale, option 3 everything.
lcache_attr attribute_block(uint32_t interfaces) {
    lcache_attr attr{};
    uint32_t table_size = 64;
    while (table_size < interfaces * 2)
        table_size *= 2;
    attr.table_size = table_size;
    attr.sync_mask = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF | LCACHE_ATTR_ENCAP |
                     LCACHE_ATTR_MAC | LCACHE_ATTR_CONTEXT | LCACHE_ATTR_BASE_TID |
                     LCACHE_ATTR_MTU | LCACHE_ATTR_NAME | LCACHE_ATTR_SWITCHPORT |
                     LCACHE_ATTR_SWITCHING | LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP |
                     LCACHE_ATTR_ETHERNET | LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_NULL |
                     LCACHE_ATTR_P2P | LCACHE_ATTR_LOOPBACK | LCACHE_ATTR_VLAN | LCACHE_ATTR_AGG_IF;
    attr.crit_mask = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
    attr.med_mask = attr.crit_mask | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC | LCACHE_ATTR_SWITCHPORT |
                    LCACHE_ATTR_SWITCHING;
    attr.low_mask = attr.sync_mask;
    return attr;
}

// Whether the cache holds no entry for the Ethernet port `iod`.
bool entry_gone(uint32_t iod) {
    uint32_t if_index = 26u << 24 | iod;
    return ht_lookup(&lcache.if_table, &if_index) == nullptr;
}

class Runner {
  public:
    Runner(const HostOptions &options, HostResult &result)
        : options_(options), result_(result), rng_(options.seed) {}

    bool setup(std::string &why);
    bool in_namespace() const { return world_.in_namespace(); }
    // False with the reason when the kernel refused a change or the bridge
    // failed.
    bool run(std::string &why);
    void finish();

  private:
    uint32_t random_pair() {
        return std::uniform_int_distribution<uint32_t>(0, world_.size() - 1)(rng_);
    }
    // Clients ask about a few interfaces most: kHotShare of the queries go
    // to the first eighth of the pairs.
    uint32_t queried_pair() {
        uint32_t hot = std::max<uint32_t>(1, world_.size() / kHotDivisor);
        if (std::bernoulli_distribution(kHotShare)(rng_))
            return std::uniform_int_distribution<uint32_t>(0, hot - 1)(rng_);
        return random_pair();
    }
    bool start(std::string &why);
    void ask_queries();
    const ChangeKindRow &random_kind();
    // Notes a refused change; false then.
    bool accepted(int error, const std::string &what) {
        if (error && failure_.empty())
            failure_ = what + " failed: " + error_text(error);
        return error == 0;
    }
    bool change_once(ChangeKind kind);
    bool burst(uint32_t count, const char *kind);
    void check(const Change &change);
    bool settle(const Change &change, Clock::time_point made);
    // `reported`: a kind whose disagreement is on record already.
    void verify(const Change &change, const HostQuery *reported = nullptr);
    void dispatch();
    // Dispatches until `done()` or the settle limit; whether it held.
    template <typename F> bool dispatch_until(F &&done);
    // Each answer is shown before the other is asked: a name's text lasts
    // until the next name query.
    void disagree(const Change &change, const HostQuery &query, uint32_t iod) {
        std::string cached = query.show(query.cached(iod));
        std::string kernel = query.show(query.kernel(iod));
        result_.disagreements.push_back(
            {world_.pair(change.pair).near_name + " (iod " + std::to_string(iod) + ")",
             query.name(), std::move(cached), std::move(kernel), change.what});
    }
    // Whether the cache's answer about `iod` agrees with the kernel's.
    static bool agrees(const HostQuery &query, uint32_t iod) {
        return query.agree(query.cached(iod), query.kernel(iod));
    }

    const HostOptions &options_;
    HostResult &result_;
    std::mt19937_64 rng_;
    World world_;
    OtherNetns elsewhere_;
    std::vector<std::pair<const HostQuery *, uint32_t>> asked_;
    Clock::duration cached_time_{};
    Clock::duration hit_time_{};
    uint64_t hits_ = 0;
    std::string failure_; // the first refused change or failed dispatch
};

bool Runner::setup(std::string &why) {
    if (!world_.build(options_.interfaces, why))
        return false;
    lcache_attr attr = attribute_block(options_.interfaces);
    if (lcache_init(&attr) != 1)
        return why = "lcache_init failed", false;
    // Before the start, so that the entries the start makes are heard too.
    // With --json the lines keep off the summary's stdout.
    if (options_.watch) {
        if (int error = watch_every_event(result_.events, options_.json ? stderr : stdout);
            error < 0)
            return why = "cannot add the watch: " + error_text(error), false;
    }
    if (int error = lcache_linux_open())
        return why = "cannot open the notification bridge: " + error_text(error), false;
    if (!start(why))
        return false;
    if (options_.overrun) {
        int tiny = 1; // the kernel raises it to its minimum
        setsockopt(lcache_linux_fd(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
    }
    lcache_linux_reset_counters();
    result_.interfaces = options_.interfaces;
    return true;
}

// The start, warm or read-through, and what it cost: the sync, then the
// first question about every watched interface (which a sync answers
// without the kernel).
bool Runner::start(std::string &why) {
    StartCost &cost = result_.start;
    if (options_.sync) {
        lcache_linux_counters_t before = counters();
        Clock::time_point begun = Clock::now();
        int interfaces = lcache_linux_sync();
        cost.sync_ms = ms_of(Clock::now() - begun);
        if (interfaces < 0)
            return why = "lcache_linux_sync failed: " + error_text(interfaces), false;
        lcache_linux_counters_t after = counters();
        cost.synced = true;
        cost.sync_interfaces = static_cast<uint64_t>(interfaces);
        cost.sync_round_trips = after.round_trips - before.round_trips;
        cost.sync_dump_retries = after.dump_retries - before.dump_retries;
    }
    // Bringing thousands of links up keeps the kernel busy for a while
    // (link-watch work under the routing lock); the questions start once
    // it has gone quiet.
    for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, kQuietMs) > 0;)
        if (int error = lcache_linux_dispatch(); error < 0)
            return why = "lcache_linux_dispatch failed: " + error_text(error), false;
    const HostQuery &first = query_named("linkup");
    uint64_t before = round_trips();
    Clock::time_point begun = Clock::now();
    for (uint32_t i = 0; i < world_.size(); ++i)
        first.cached(world_.pair(i).near);
    cost.first_questions_ms = ms_of(Clock::now() - begun);
    cost.first_questions_round_trips = round_trips() - before;
    cost.first_questions = world_.size();
    mtrack_usage_t usage;
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &usage);
    cost.entries = usage.live_blocks;
    return true;
}

void Runner::dispatch() {
    lcache_linux_counters_t before = counters();
    Clock::time_point begun = Clock::now();
    int handled = lcache_linux_dispatch();
    Clock::duration took = Clock::now() - begun;
    lcache_linux_counters_t after = counters();
    if (handled < 0 && failure_.empty())
        failure_ = "lcache_linux_dispatch failed: " + error_text(handled);
    result_.dispatch_round_trips += after.round_trips - before.round_trips;
    if (after.resyncs == before.resyncs)
        return;
    ResyncCost &resync = result_.resync;
    resync.ms.push_back(ms_of(took));
    resync.round_trips += after.round_trips - before.round_trips;
    resync.dump_retries += after.dump_retries - before.dump_retries;
}

template <typename F> bool Runner::dispatch_until(F &&done) {
    Clock::time_point limit = Clock::now() + kSettleLimit;
    for (;;) {
        dispatch();
        if (done())
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd{lcache_linux_fd(), POLLIN, 0};
        poll(&pfd, 1, static_cast<int>(left.count()));
    }
}

void Runner::ask_queries() {
    const auto queries = host_queries();
    std::vector<uint32_t> weights;
    for (const HostQuery &query : queries)
        weights.push_back(query.kind->weight);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    for (uint64_t q = 0; q < options_.queries_per_change; ++q) {
        const HostQuery &kind = queries[pick(rng_)];
        uint32_t iod = world_.pair(queried_pair()).near;
        uint64_t before = round_trips();
        Clock::time_point begun = Clock::now();
        kind.cached(iod);
        Clock::duration took = Clock::now() - begun;
        cached_time_ += took;
        uint64_t trips = round_trips() - before;
        if (trips == 0) {
            hit_time_ += took;
            ++hits_;
        }
        result_.cached_round_trips += trips;
        FamilyCount &family = result_.families[querycat::family_name(kind.kind->family)];
        ++family.queries;
        family.hits += trips == 0;
        ++result_.queries;
        asked_.emplace_back(&kind, iod);
    }
}

const ChangeKindRow &Runner::random_kind() {
    auto kinds = change_kinds();
    std::vector<double> weights;
    for (const ChangeKindRow &row : kinds)
        weights.push_back(row.weight);
    return kinds[std::discrete_distribution<size_t>(weights.begin(), weights.end())(rng_)];
}

// One change, checked; a near end moved away is then brought back, and
// that checked too.
bool Runner::change_once(ChangeKind kind) {
    uint32_t i = random_pair();
    Change change;
    if (!accepted(make_change(kind, i, world_, elsewhere_, rng_, change), change.what))
        return false;
    check(change);
    if (!world_.pair(i).away)
        return true;
    Change back;
    if (!accepted(bring_back(i, world_, back), back.what))
        return false;
    check(back);
    return true;
}

// `count` changes with no dispatch in between, then every answer about
// each pair touched checked against the kernel.
bool Runner::burst(uint32_t count, const char *kind) {
    ++result_.changes_by_kind[kind];
    std::set<uint32_t> touched;
    std::uniform_int_distribution<size_t> pick(0, std::size(kBurstKinds) - 1);
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t i = random_pair();
        Change change;
        if (!accepted(make_change(kBurstKinds[pick(rng_)], i, world_, elsewhere_, rng_, change),
                      change.what + " (in a burst)"))
            return false;
        touched.insert(i);
        ++result_.burst_changes;
    }
    std::string what = std::string(kind) + " of " + std::to_string(count) + " changes";
    for (uint32_t i : touched)
        verify(Change{.what = what, .pair = i});
    return true;
}

void Runner::check(const Change &change) {
    bool arrived = settle(change, Clock::now());
    verify(change, arrived ? nullptr : change.witness);
}

// Waits for the change to show; its staleness is how long that took.
// Whether it showed (a witness that did not is on record).
bool Runner::settle(const Change &change, Clock::time_point made) {
    uint32_t iod = world_.pair(change.pair).near;
    bool arrived = dispatch_until([&] {
        return change.witness ? change.witness->show(change.witness->cached(iod)) == change.expected
                              : entry_gone(change.gone_iod);
    });
    if (arrived)
        result_.staleness_us.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - made).count());
    else if (change.witness)
        disagree(change, *change.witness, iod);
    return arrived;
}

// Every answer about the changed interface, against the kernel's own.
void Runner::verify(const Change &change, const HostQuery *reported) {
    uint32_t iod = world_.pair(change.pair).near;
    if (change.gone_iod && !dispatch_until([&] { return entry_gone(change.gone_iod); }))
        result_.disagreements.push_back(
            {world_.pair(change.pair).near_name + " (iod " + std::to_string(change.gone_iod) + ")",
             "entry", "still cached", "gone", change.what});
    for (const HostQuery &query : host_queries()) {
        if (&query == reported || dispatch_until([&] { return agrees(query, iod); }))
            continue;
        disagree(change, query, iod);
    }
}

bool Runner::run(std::string &why) {
    for (uint64_t c = 1; c <= options_.changes && failure_.empty(); ++c) {
        ask_queries();
        if (options_.late_burst && std::bernoulli_distribution(kLateBurstShare)(rng_)) {
            burst(options_.late_burst, "late_burst");
        } else {
            const ChangeKindRow &row = random_kind();
            ++result_.changes_by_kind[row.name];
            change_once(row.kind);
        }
        ++result_.changes;
        if (options_.overrun && c % kOverrunBurstEvery == 0 && failure_.empty())
            burst(kOverrunBurst, "overrun_burst");
        if (options_.flush_every && c % options_.flush_every == 0) {
            lcache_if_flush_all(1);
            ++result_.flushes;
        }
    }
    why = failure_;
    return failure_.empty();
}

void Runner::finish() {
    lcache_linux_counters_t c = counters();
    result_.handled = c.messages_handled;
    result_.skipped = c.messages_skipped;
    result_.malformed = c.messages_malformed;
    result_.overruns = c.overruns;
    result_.foreign = c.messages_foreign;
    result_.resync.resyncs = c.resyncs;
    result_.resync.fallbacks = c.resync_fallbacks;
    result_.resync.generation = c.generation;
    mtrack_usage_t usage;
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &usage);
    result_.entries = usage.live_blocks;
    result_.entry_bytes = usage.live_bytes;
    auto per = [](Clock::duration time, uint64_t count) {
        return count ? std::chrono::duration<double, std::nano>(time).count() / count : 0.0;
    };
    result_.cached_ns_per_query = per(cached_time_, result_.queries);
    result_.cached_ns_per_hit = per(hit_time_, hits_);
    result_.cached_ns_per_miss = per(cached_time_ - hit_time_, result_.queries - hits_);

    // The same questions without the cache, each one a kernel round trip:
    // with the bridge closed the peers keep no answer.
    lcache_linux_close();
    uint64_t before = round_trips();
    Clock::time_point begun = Clock::now();
    for (const auto &[kind, iod] : asked_)
        kind->peer(iod);
    Clock::duration uncached = Clock::now() - begun;
    result_.uncached_round_trips = round_trips() - before;
    result_.uncached_ns_per_query = per(uncached, asked_.size());
    lcache_cleanup();
}

} // namespace

HostOutcome run_host(const HostOptions &options, HostResult &result, std::string &why) {
    result.seed = options.seed;
    Runner runner(options, result);
    if (!runner.setup(why))
        return runner.in_namespace() ? HostOutcome::failed : HostOutcome::no_namespace;
    bool ran = runner.run(why);
    runner.finish();
    return ran ? HostOutcome::ran : HostOutcome::failed;
}

} // namespace lchost
