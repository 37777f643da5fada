// SPDX-License-Identifier: MIT
// Printing what a run measured.
#include "summary.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "version.h"

namespace lcsim {
namespace {

// The family whose queries count in a statistics row, if any.
std::optional<Family> family_of(lcache_stat_row_t row) {
    switch (row) {
    case LCACHE_STAT_SWITCHPORT:
    case LCACHE_STAT_SWITCHING:
    case LCACHE_STAT_LINKUP:
    case LCACHE_STAT_PROTOUP:
    case LCACHE_STAT_ETHERNET:
    case LCACHE_STAT_IS_VLAN:
    case LCACHE_STAT_NULL:
    case LCACHE_STAT_LOOPBACK:
    case LCACHE_STAT_P2P: return Family::flags;
    case LCACHE_STAT_MTU: return Family::mtu;
    case LCACHE_STAT_ENCAP: return Family::encap;
    case LCACHE_STAT_MAC: return Family::mac;
    case LCACHE_STAT_VLAN: return Family::vlan;
    case LCACHE_STAT_NAME: return Family::name;
    case LCACHE_STAT_IOD: return Family::iod;
    case LCACHE_STAT_PI: return Family::pi;
    case LCACHE_STAT_LIF: return Family::lif;
    case LCACHE_STAT_AGG_IF: return Family::port_channel;
    case LCACHE_STAT_IPS: return Family::port_mode;
    case LCACHE_STAT_EXT:
    case LCACHE_STAT_EXT1:
    case LCACHE_STAT_EXT2:
    case LCACHE_STAT_EXT3: return Family::extensions;
    default: return std::nullopt;
    }
}

double ratio(uint64_t part, uint64_t whole) {
    return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

double ns_per_query(std::chrono::nanoseconds total, uint64_t queries) {
    return queries == 0 ? 0.0 : static_cast<double>(total.count()) / static_cast<double>(queries);
}

unsigned long long ull(uint64_t value) { return value; }

uint64_t calls_with_cache(const RunStats &s) {
    return s.calls_by_queries + s.calls_by_notifications + s.calls_by_flushes;
}

const char *peers_text(PeerMode mode) { return mode == PeerMode::ipc ? "ipc" : "inproc"; }

bool local(size_t fn) { return sim::answered_locally(static_cast<sim::PeerFn>(fn)); }

const char *fn_name(size_t fn) { return sim::peer_fn_name(static_cast<sim::PeerFn>(fn)); }

uint64_t local_answers_with_cache(const RunStats &s) {
    uint64_t sum = 0;
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        if (local(fn))
            sum += s.calls_by_function[fn];
    return sum;
}

std::string local_function_names() {
    std::string names;
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        if (local(fn))
            names += (names.empty() ? "" : ", ") + std::string(fn_name(fn));
    return names;
}

// The time per query, split into round trips to the peers' process and the
// work done in this one.
struct QueryTime {
    double total, round_trips, local_work;
};

QueryTime query_time(std::chrono::nanoseconds total, std::chrono::nanoseconds round_trips,
                     uint64_t queries) {
    const double all = ns_per_query(total, queries), away = ns_per_query(round_trips, queries);
    return {all, away, all - away};
}

// The peer functions the cache still asked most: where its misses go.
void print_busiest_functions(const RunStats &s, std::FILE *out) {
    constexpr size_t kShown = 5;
    std::vector<size_t> order;
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn)
        if (!local(fn))
            order.push_back(fn);
    std::ranges::stable_sort(
        order, [&](size_t a, size_t b) { return s.calls_by_function[a] > s.calls_by_function[b]; });
    if (s.calls_by_function[order.front()] == 0)
        return;
    std::fprintf(out, "                       asked most with the cache:\n");
    for (size_t i = 0; i < kShown && s.calls_by_function[order[i]] > 0; ++i)
        std::fprintf(out, "                         %-36s %10llu\n", fn_name(order[i]),
                     ull(s.calls_by_function[order[i]]));
}

} // namespace

void collect_cache_figures(RunStats &s) {
    s.attr = lcache.attr;
    for (int row = 0; row < LCACHE_STAT_ROWS; ++row) {
        if (auto family = family_of(static_cast<lcache_stat_row_t>(row))) {
            FamilyFigures &figures = s.families[static_cast<size_t>(*family)];
            figures.hits += lcache.stats.hits[row];
            figures.misses += lcache.stats.misses[row];
        }
    }
    // The flood query counts in the bridge-domain row.
    FamilyFigures &vlan_cache = s.families[static_cast<size_t>(Family::vlan_cache)];
    for (int row : {LCACHE_VLAN_STAT_BD, LCACHE_VLAN_STAT_PVLAN}) {
        vlan_cache.hits += lcache.stats.vlan_hits[row];
        vlan_cache.misses += lcache.stats.vlan_misses[row];
    }
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &s.if_memory);
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_vlan_entry_t, &s.vlan_memory);
}

void print_summary(const RunStats &s, std::FILE *out) {
    std::fprintf(out, "\nSummary\n");
    std::fprintf(out, "  version              %s\n", tooluse::kVersion);
    std::fprintf(out, "  switch               %zu interfaces, %zu VLANs; peers %s\n", s.interfaces,
                 s.vlans, s.peers == PeerMode::ipc ? "in a server process (ipc)" : "in-process");
    std::fprintf(
        out, "  cache                profile %s: sync 0x%x, crit 0x%x, med 0x%x, low 0x%x\n",
        s.profile.c_str(), s.attr.sync_mask, s.attr.crit_mask, s.attr.med_mask, s.attr.low_mask);
    std::fprintf(out,
                 "  workload             seed %llu: %llu queries, %llu changes "
                 "(%llu notifications), %llu flushes\n",
                 ull(s.seed), ull(s.queries), ull(s.changes), ull(s.notifications), ull(s.flushes));
    std::fprintf(out, "  %-18s %10s %10s %10s %9s\n", "family", "queries", "hits", "misses",
                 "hit ratio");
    for (size_t f = 0; f < kFamilyCount; ++f) {
        const FamilyFigures &ff = s.families[f];
        std::fprintf(out, "    %-16s %10llu %10llu %10llu %8.1f%%\n",
                     family_name(static_cast<Family>(f)), ull(ff.queries), ull(ff.hits),
                     ull(ff.misses), 100.0 * ratio(ff.hits, ff.hits + ff.misses));
    }
    const uint64_t with = calls_with_cache(s);
    std::fprintf(out,
                 "  peer calls           with the cache %llu (queries %llu, notifications %llu, "
                 "flushes %llu)\n",
                 ull(with), ull(s.calls_by_queries), ull(s.calls_by_notifications),
                 ull(s.calls_by_flushes));
    std::fprintf(out, "                       without it %llu: the cache saves %.1f%%\n",
                 ull(s.calls_without_cache),
                 s.calls_without_cache == 0 ? 0.0
                                            : 100.0 * (1.0 - ratio(with, s.calls_without_cache)));
    print_busiest_functions(s, out);
    std::fprintf(out,
                 "  answered locally     %s: %llu calls with the cache, %llu without; never a "
                 "peer call\n",
                 local_function_names().c_str(), ull(local_answers_with_cache(s)),
                 ull(s.local_answers_without_cache));
    const QueryTime with_time = query_time(s.time_with_cache, s.round_trips_with_cache, s.queries);
    const QueryTime without_time =
        query_time(s.time_without_cache, s.round_trips_without_cache, s.queries);
    std::fprintf(out, "  time per query       %.0f ns with the cache, %.0f ns without\n",
                 with_time.total, without_time.total);
    std::fprintf(
        out,
        "                       peer round trips %.0f ns with the cache, %.0f ns without\n"
        "                       local work       %.0f ns with the cache, %.0f ns without\n",
        with_time.round_trips, without_time.round_trips, with_time.local_work,
        without_time.local_work);
    for (const auto &[what, e] : {std::pair{"interface events", s.if_events},
                                  std::pair{"VLAN events", s.vlan_events}})
        std::fprintf(out, "  %-20s %llu added, %llu updated, %llu removed, %llu stale-only\n", what,
                     ull(e.added), ull(e.updated), ull(e.removed), ull(e.stale_only));
    std::fprintf(out,
                 "  memory held          %llu interface entries (%llu bytes), %llu VLAN entries "
                 "(%llu bytes); peak %llu bytes\n",
                 ull(s.if_memory.live_blocks), ull(s.if_memory.live_bytes),
                 ull(s.vlan_memory.live_blocks), ull(s.vlan_memory.live_bytes),
                 ull(s.if_memory.peak_bytes + s.vlan_memory.peak_bytes));
    std::fprintf(out, "  answers disagreeing  %llu\n", ull(s.disagreements));
    for (const Disagreement &d : s.first_disagreements)
        std::fprintf(out, "    %s iod %u ifindex 0x%x vlan %u: cache %s, peer %s\n",
                     d.function.c_str(), d.target.iod, d.target.ifindex, d.target.vlan,
                     d.cached.c_str(), d.peer.c_str());
}

void print_json(const RunStats &s, std::FILE *out) {
    using Json = nlohmann::ordered_json;
    Json families = Json::object();
    for (size_t f = 0; f < kFamilyCount; ++f) {
        const FamilyFigures &ff = s.families[f];
        families[family_name(static_cast<Family>(f))] = {
            {"queries", ff.queries},
            {"hits", ff.hits},
            {"misses", ff.misses},
            {"hit_ratio", ratio(ff.hits, ff.hits + ff.misses)}};
    }
    Json by_function = Json::object();
    Json answered_locally = Json::object();
    for (size_t fn = 0; fn < sim::kPeerFnCount; ++fn) {
        if (local(fn))
            answered_locally[fn_name(fn)] = s.calls_by_function[fn];
        else if (s.calls_by_function[fn] != 0)
            by_function[fn_name(fn)] = s.calls_by_function[fn];
    }
    const QueryTime with_time = query_time(s.time_with_cache, s.round_trips_with_cache, s.queries);
    const QueryTime without_time =
        query_time(s.time_without_cache, s.round_trips_without_cache, s.queries);
    Json disagreeing = Json::array();
    for (const Disagreement &d : s.first_disagreements)
        disagreeing.push_back({{"function", d.function},
                               {"iod", d.target.iod},
                               {"ifindex", d.target.ifindex},
                               {"vlan", d.target.vlan},
                               {"cache", d.cached},
                               {"peer", d.peer}});
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", ull(s.answer_digest));
    Json summary = {{"version", tooluse::kVersion},
                    {"seed", s.seed},
                    {"peers", peers_text(s.peers)},
                    {"profile", s.profile},
                    {"sync_mask", s.attr.sync_mask},
                    {"interfaces", s.interfaces},
                    {"vlans", s.vlans},
                    {"queries", s.queries},
                    {"changes", s.changes},
                    {"notifications", s.notifications},
                    {"flushes", s.flushes},
                    {"families", families},
                    {"peer_calls_with_cache", calls_with_cache(s)},
                    {"peer_calls_by_queries", s.calls_by_queries},
                    {"peer_calls_by_notifications", s.calls_by_notifications},
                    {"peer_calls_by_flushes", s.calls_by_flushes},
                    {"peer_calls_without_cache", s.calls_without_cache},
                    {"peer_calls_by_function", by_function},
                    {"answered_locally_with_cache", answered_locally},
                    {"answered_locally_without_cache", s.local_answers_without_cache}};
    for (const auto &[side, figures] :
         {std::pair{"with_cache", with_time}, std::pair{"without_cache", without_time}}) {
        const std::string key = std::string("ns_per_query_") + side;
        summary[key] = figures.total;
        summary[key + "_in_round_trips"] = figures.round_trips;
        summary[key + "_in_local_work"] = figures.local_work;
    }
    const auto events = [](const EventCounts &e) {
        return Json{{"added", e.added},
                    {"updated", e.updated},
                    {"removed", e.removed},
                    {"stale_only", e.stale_only}};
    };
    summary.update(Json{{"interface_events", events(s.if_events)},
                        {"vlan_events", events(s.vlan_events)},
                        {"interface_entries", s.if_memory.live_blocks},
                        {"interface_entry_bytes", s.if_memory.live_bytes},
                        {"vlan_entries", s.vlan_memory.live_blocks},
                        {"vlan_entry_bytes", s.vlan_memory.live_bytes},
                        {"answer_digest", digest},
                        {"disagreements", s.disagreements},
                        {"disagreeing_answers", disagreeing}});
    std::fprintf(out, "%s\n", summary.dump(2).c_str());
}

} // namespace lcsim
