#include "host_run.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <random>

#include "host_queries.h"
#include "host_world.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "mtrack.h"

namespace lchost {
namespace {

using Clock = std::chrono::steady_clock;

// How long the kernel may take to report a change (carrier and operational
// state come from its link-watch work queue) before a wrong answer counts.
constexpr auto kSettleLimit = std::chrono::seconds(2);
// Changes of one burst in --overrun mode, made without reading in between.
constexpr uint32_t kBurst = 64;
constexpr uint64_t kBurstEvery = 25;
constexpr int kQuietMs = 300;
constexpr uint32_t kHotDivisor = 8; // an eighth of the pairs is hot
constexpr double kHotShare = 0.9;

uint64_t round_trips() {
    lcache_linux_counters_t c;
    lcache_linux_get_counters(&c);
    return c.round_trips;
}

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
                     LCACHE_ATTR_MTU | LCACHE_ATTR_SWITCHPORT | LCACHE_ATTR_SWITCHING |
                     LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP | LCACHE_ATTR_ETHERNET |
                     LCACHE_ATTR_IS_VLAN | LCACHE_ATTR_NULL | LCACHE_ATTR_P2P |
                     LCACHE_ATTR_LOOPBACK | LCACHE_ATTR_VLAN | LCACHE_ATTR_AGG_IF;
    attr.crit_mask = LCACHE_ATTR_LINKUP | LCACHE_ATTR_PROTOUP;
    attr.med_mask = attr.crit_mask | LCACHE_ATTR_MTU | LCACHE_ATTR_MAC | LCACHE_ATTR_SWITCHPORT |
                    LCACHE_ATTR_SWITCHING;
    attr.low_mask = attr.sync_mask;
    return attr;
}

// One change made to the kernel, and the answer that shows it arrived.
struct Change {
    std::string what;
    uint32_t pair;
    const QueryKind *witness;
    std::string expected;
    uint32_t gone_iod = 0; // a deleted interface, whose entry must be gone
};

class Runner {
  public:
    Runner(const HostOptions &options, HostResult &result)
        : options_(options), result_(result), rng_(options.seed) {}

    bool setup(std::string &why);
    void run();
    void finish();

  private:
    uint32_t random_pair() { return std::uniform_int_distribution<uint32_t>(0, world_.size() - 1)(rng_); }
    // Clients ask about a few interfaces most: kHotShare of the queries go
    // to the first eighth of the pairs.
    uint32_t queried_pair() {
        uint32_t hot = std::max<uint32_t>(1, world_.size() / kHotDivisor);
        if (std::bernoulli_distribution(kHotShare)(rng_))
            return std::uniform_int_distribution<uint32_t>(0, hot - 1)(rng_);
        return random_pair();
    }
    void ask_queries();
    Change make_change();
    void burst();
    void settle(const Change &change, Clock::time_point made);
    void verify(const Change &change);
    void dispatch() {
        uint64_t before = round_trips();
        lcache_linux_dispatch();
        result_.dispatch_round_trips += round_trips() - before;
    }
    // Dispatches until `done()` or the settle limit; whether it held.
    template <typename F>
    bool dispatch_until(F &&done);
    void disagree(const Change &change, const QueryKind &kind, uint32_t iod, std::string cached,
                  std::string kernel) {
        result_.disagreements.push_back(
            {near_name(change.pair) + " (iod " + std::to_string(iod) + ")", kind.name,
             std::move(cached), std::move(kernel), change.what});
    }

    const HostOptions &options_;
    HostResult &result_;
    std::mt19937_64 rng_;
    World world_;
    std::vector<std::pair<const QueryKind *, uint32_t>> asked_;
    Clock::duration cached_time_{};
    Clock::duration hit_time_{};
    uint64_t hits_ = 0;
};

bool Runner::setup(std::string &why) {
    if (!world_.build(options_.interfaces, why))
        return false;
    lcache_attr attr = attribute_block(options_.interfaces);
    if (lcache_init(&attr) != 1)
        return why = "lcache_init failed", false;
    if (int error = lcache_linux_open())
        return why = std::string("cannot open the notification bridge: ") + strerror(-error), false;
    // Bringing thousands of links up keeps the kernel busy for a while
    // (link-watch work under the routing lock); the workload starts once
    // it has gone quiet.
    for (pollfd pfd{lcache_linux_fd(), POLLIN, 0}; poll(&pfd, 1, kQuietMs) > 0;)
        lcache_linux_dispatch();
    if (options_.overrun) {
        int tiny = 1; // the kernel raises it to its minimum
        setsockopt(lcache_linux_fd(), SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
    }
    lcache_linux_reset_counters();
    result_.interfaces = options_.interfaces;
    return true;
}

template <typename F>
bool Runner::dispatch_until(F &&done) {
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
    auto kinds = query_kinds();
    std::uniform_int_distribution<size_t> pick_kind(0, kinds.size() - 1);
    for (uint64_t q = 0; q < options_.queries_per_change; ++q) {
        const QueryKind &kind = kinds[pick_kind(rng_)];
        uint32_t iod = world_.pair(queried_pair()).near;
        uint64_t before = round_trips();
        Clock::time_point start = Clock::now();
        kind.cached(iod);
        Clock::duration took = Clock::now() - start;
        cached_time_ += took;
        uint64_t trips = round_trips() - before;
        if (trips == 0) {
            hit_time_ += took;
            ++hits_;
        }
        result_.cached_round_trips += trips;
        FamilyCount &family = result_.families[kind.family];
        ++family.queries;
        family.hits += trips == 0;
        ++result_.queries;
        asked_.emplace_back(&kind, iod);
    }
}

Change Runner::make_change() {
    uint32_t i = random_pair();
    Pair &p = world_.pair(i);
    auto &control = world_.control();
    switch (std::uniform_int_distribution<int>(0, 5)(rng_)) {
    case 0:
        p.peer_up = !p.peer_up;
        control.set_up(p.peer, p.peer_up);
        return {p.peer_up ? "carrier back" : "carrier lost", i, &kind_named("linkup"),
                std::to_string(p.near_up && p.peer_up)};
    case 1:
        p.near_up = !p.near_up;
        control.set_up(p.near, p.near_up);
        return {p.near_up ? "admin up" : "admin down", i, &kind_named("protoup"),
                std::to_string(p.near_up && p.peer_up)};
    case 2: {
        uint32_t mtu = std::uniform_int_distribution<uint32_t>(1280, 9000)(rng_);
        control.set_mtu(p.near, mtu);
        return {"mtu " + std::to_string(mtu), i, &kind_named("mtu"), std::to_string(mtu)};
    }
    case 3: {
        std::array<uint8_t, 6> mac = {0x02, 0, 0, 0, 0, 0};
        for (size_t b = 1; b < mac.size(); ++b)
            mac[b] = static_cast<uint8_t>(rng_());
        control.set_mac(p.near, mac);
        char text[18];
        snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                 mac[3], mac[4], mac[5]);
        return {std::string("mac ") + text, i, &kind_named("mac"), text};
    }
    case 4:
        p.bridged = !p.bridged;
        control.set_master(p.near, p.bridged ? world_.bridge() : 0);
        return {p.bridged ? "enslaved to br0" : "released from br0", i, &kind_named("switchport"),
                std::to_string(p.bridged)};
    default: {
        uint32_t old_iod = p.near;
        world_.recreate(i);
        return {"deleted and re-created (iod " + std::to_string(old_iod) + ")", i,
                &kind_named("name"), near_name(i), old_iod};
    }
    }
}

// Many changes with no reading in between: a starved socket overflows.
void Runner::burst() {
    std::vector<uint32_t> touched;
    for (uint32_t n = 0; n < kBurst; ++n) {
        uint32_t i = random_pair();
        world_.control().set_mtu(world_.pair(i).near, 1500 + n);
        touched.push_back(i);
    }
    for (uint32_t i : touched)
        verify(Change{"burst of MTU changes", i, nullptr, ""});
}

void Runner::settle(const Change &change, Clock::time_point made) {
    uint32_t iod = world_.pair(change.pair).near;
    bool arrived = dispatch_until([&] { return change.witness->cached(iod) == change.expected; });
    if (!arrived) {
        disagree(change, *change.witness, iod, change.witness->cached(iod), change.witness->kernel(iod));
        return;
    }
    result_.staleness_us.push_back(
        std::chrono::duration<double, std::micro>(Clock::now() - made).count());
}

// Every answer about the changed interface, against the kernel's own.
void Runner::verify(const Change &change) {
    uint32_t iod = world_.pair(change.pair).near;
    if (change.gone_iod) {
        uint32_t gone = 26u << 24 | change.gone_iod; // an Ethernet port's ifindex
        if (!dispatch_until([&] { return ht_lookup(&lcache.if_table, &gone) == nullptr; }))
            result_.disagreements.push_back({near_name(change.pair) + " (iod " +
                                                 std::to_string(change.gone_iod) + ")",
                                             "entry", "still cached", "deleted", change.what});
    }
    for (const QueryKind &kind : query_kinds()) {
        if (dispatch_until([&] { return kind.cached(iod) == kind.kernel(iod); }))
            continue;
        disagree(change, kind, iod, kind.cached(iod), kind.kernel(iod));
    }
}

void Runner::run() {
    for (uint64_t c = 1; c <= options_.changes; ++c) {
        ask_queries();
        Change change = make_change();
        Clock::time_point made = Clock::now();
        settle(change, made);
        verify(change);
        ++result_.changes;
        if (options_.overrun && c % kBurstEvery == 0)
            burst();
        if (options_.flush_every && c % options_.flush_every == 0) {
            lcache_if_flush_all(1);
            ++result_.flushes;
        }
    }
}

void Runner::finish() {
    lcache_linux_counters_t c;
    lcache_linux_get_counters(&c);
    result_.handled = c.messages_handled;
    result_.skipped = c.messages_skipped;
    result_.malformed = c.messages_malformed;
    result_.overruns = c.overruns;
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
    Clock::time_point start = Clock::now();
    for (const auto &[kind, iod] : asked_)
        kind->peer(iod);
    Clock::duration uncached = Clock::now() - start;
    result_.uncached_round_trips = round_trips() - before;
    if (!asked_.empty())
        result_.uncached_ns_per_query =
            std::chrono::duration<double, std::nano>(uncached).count() / asked_.size();
    lcache_cleanup();
}

} // namespace

bool run_host(const HostOptions &options, HostResult &result, std::string &why) {
    Runner runner(options, result);
    if (!runner.setup(why))
        return false;
    runner.run();
    runner.finish();
    return true;
}

} // namespace lchost
