// SPDX-License-Identifier: MIT
#include "host_summary.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "host_queries.h"
#include "printed.h"
#include "version.h"

namespace lchost {
namespace {

double ratio(uint64_t part, uint64_t whole) { return whole ? double(part) / double(whole) : 0.0; }

double total(const std::vector<double> &samples) {
    double sum = 0;
    for (double sample : samples)
        sum += sample;
    return sum;
}

// The value below which `share` of the samples lie (nearest rank).
double percentile(std::vector<double> samples, double share) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(share * double(samples.size() - 1) + 0.5);
    return samples[rank];
}

using tooltext::printed;

std::string start_row(const char *label, double ms, uint64_t round_trips, uint64_t interfaces) {
    return printed("  %-24s %9.1f  %11" PRIu64 "  %10" PRIu64 "\n", label, ms, round_trips,
                   interfaces);
}

std::string start_text(const StartCost &s) {
    std::string mode = s.synced ? "Start (sync)" : "Start (read-through)";
    std::string out =
        printed("\n%-26s %9s  %11s  %10s\n", mode.c_str(), "ms", "round trips", "interfaces");
    if (s.synced)
        out += start_row("lcache_linux_sync", s.sync_ms, s.sync_round_trips, s.sync_interfaces);
    out += start_row("first question of each", s.first_questions_ms, s.first_questions_round_trips,
                     s.first_questions);
    out += start_row("in all (entries held)", s.sync_ms + s.first_questions_ms,
                     s.sync_round_trips + s.first_questions_round_trips, s.entries);
    if (s.sync_dump_retries)
        out += printed("  the sync's dump was interrupted and asked again %" PRIu64 " times\n",
                       s.sync_dump_retries);
    return out;
}

std::string changes_text(const HostResult &r) {
    std::string out = "Changes by kind:";
    for (const auto &[kind, count] : r.changes_by_kind)
        out += printed(" %s %" PRIu64 ",", kind.c_str(), count);
    out.back() = '\n';
    if (r.burst_changes)
        out += printed("  %" PRIu64 " changes made within bursts\n", r.burst_changes);
    return out;
}

std::string resync_text(const ResyncCost &c) {
    return printed("Resyncs: %" PRIu64 " (%" PRIu64 " fell back to a flush), %.1f ms in all, "
                   "median %.1f ms; %" PRIu64 " dumps (%" PRIu64 " retried), %" PRIu64
                   " round trips; generation %" PRIu64 "\n",
                   c.resyncs, c.fallbacks, total(c.ms), percentile(c.ms, 0.5),
                   c.resyncs + c.dump_retries, c.dump_retries, c.round_trips, c.generation);
}

} // namespace

std::string summary_text(const HostResult &r) {
    std::string out = printed("Version %s, seed %" PRIu64 "\n", tooluse::kVersion, r.seed);
    out += printed("Linux host: %u veth pairs, %" PRIu64 " changes, %" PRIu64 " queries, %" PRIu64
                   " flushes\n",
                   r.interfaces, r.changes, r.queries, r.flushes);
    if (!r.changes_by_kind.empty())
        out += changes_text(r);
    out += start_text(r.start);
    out += "\nHit ratio per family (answered without a kernel round trip)\n";
    for (size_t f = 0; f < querycat::kFamilyCount; ++f) {
        const char *family = querycat::family_name(static_cast<querycat::Family>(f));
        auto it = r.families.find(family);
        if (it == r.families.end())
            continue;
        out += printed("  %-10s %5.1f %%  of %" PRIu64 "\n", family,
                       100 * ratio(it->second.hits, it->second.queries), it->second.queries);
    }
    out += "\nKernel round trips      with the cache   without\n";
    out += printed("  by the queries        %12" PRIu64 "  %8" PRIu64 "\n", r.cached_round_trips,
                   r.uncached_round_trips);
    out += printed("  by the bridge         %12" PRIu64 "\n", r.dispatch_round_trips);
    out += printed("  ns per query          %12.0f  %8.0f\n", r.cached_ns_per_query,
                   r.uncached_ns_per_query);
    out += printed("    a hit               %12.0f\n", r.cached_ns_per_hit);
    out += printed("    a miss              %12.0f\n", r.cached_ns_per_miss);
    out += printed("\nNotifications: %" PRIu64 " handled, %" PRIu64 " skipped, %" PRIu64
                   " malformed, %" PRIu64 " overruns, %" PRIu64 " foreign\n",
                   r.handled, r.skipped, r.malformed, r.overruns, r.foreign);
    out += resync_text(r.resync);
    if (r.events.watched)
        out +=
            printed("Events heard: %" PRIu64 " added, %" PRIu64 " updated, %" PRIu64 " removed\n",
                    r.events.added, r.events.updated, r.events.removed);
    out += printed("Staleness (change made -> cache answers it): median %.0f us, p99 %.0f us\n",
                   percentile(r.staleness_us, 0.5), percentile(r.staleness_us, 0.99));
    out +=
        printed("Memory held: %" PRIu64 " entries, %" PRIu64 " bytes\n", r.entries, r.entry_bytes);
    out += printed("Answers disagreeing after dispatch: %zu\n", r.disagreements.size());
    for (const Disagreement &d : r.disagreements)
        out += "  " + d.interface + " " + d.query + ": cache " + d.cached + ", kernel " + d.kernel +
               " (after " + d.after + ")\n";
    return out;
}

std::string summary_json(const HostResult &r) {
    nlohmann::ordered_json j;
    j["version"] = tooluse::kVersion;
    j["seed"] = r.seed;
    j["interfaces"] = r.interfaces;
    j["changes"] = r.changes;
    j["queries"] = r.queries;
    j["flushes"] = r.flushes;
    j["changes_by_kind"] = r.changes_by_kind;
    j["burst_changes"] = r.burst_changes;
    const StartCost &s = r.start;
    j["start"]["mode"] = s.synced ? "sync" : "read-through";
    j["start"]["sync"] = nullptr;
    if (s.synced)
        j["start"]["sync"] = {{"ms", s.sync_ms},
                              {"round_trips", s.sync_round_trips},
                              {"dump_retries", s.sync_dump_retries},
                              {"interfaces", s.sync_interfaces}};
    j["start"]["first_question"] = {{"interfaces", s.first_questions},
                                    {"ms", s.first_questions_ms},
                                    {"round_trips", s.first_questions_round_trips}};
    j["start"]["ms"] = s.sync_ms + s.first_questions_ms;
    j["start"]["round_trips"] = s.sync_round_trips + s.first_questions_round_trips;
    j["start"]["entries"] = s.entries;
    for (size_t f = 0; f < querycat::kFamilyCount; ++f) {
        const char *family = querycat::family_name(static_cast<querycat::Family>(f));
        auto it = r.families.find(family);
        if (it != r.families.end())
            j["hit_ratio"][family] = ratio(it->second.hits, it->second.queries);
    }
    j["round_trips"] = {{"with_cache", r.cached_round_trips},
                        {"by_bridge", r.dispatch_round_trips},
                        {"without_cache", r.uncached_round_trips}};
    j["ns_per_query_with_cache"] = r.cached_ns_per_query;
    j["ns_per_query_with_cache_hit"] = r.cached_ns_per_hit;
    j["ns_per_query_with_cache_miss"] = r.cached_ns_per_miss;
    j["ns_per_query_without_cache"] = r.uncached_ns_per_query;
    j["notifications"] = {{"handled", r.handled},
                          {"skipped", r.skipped},
                          {"malformed", r.malformed},
                          {"overruns", r.overruns},
                          {"foreign", r.foreign}};
    const ResyncCost &c = r.resync;
    j["resync"] = {{"count", c.resyncs},
                   {"fallbacks", c.fallbacks},
                   {"ms", {{"total", total(c.ms)}, {"median", percentile(c.ms, 0.5)}}},
                   {"dumps", c.resyncs + c.dump_retries},
                   {"dump_retries", c.dump_retries},
                   {"round_trips", c.round_trips},
                   {"generation", c.generation}};
    j["interface_events"] = nullptr;
    if (r.events.watched)
        j["interface_events"] = {{"added", r.events.added},
                                 {"updated", r.events.updated},
                                 {"removed", r.events.removed}};
    j["staleness_us"] = {{"median", percentile(r.staleness_us, 0.5)},
                         {"p99", percentile(r.staleness_us, 0.99)},
                         {"samples", r.staleness_us.size()}};
    j["interface_entries"] = r.entries;
    j["interface_entry_bytes"] = r.entry_bytes;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Disagreement &d : r.disagreements)
        list.push_back({{"interface", d.interface},
                        {"query", d.query},
                        {"cache", d.cached},
                        {"kernel", d.kernel},
                        {"after", d.after}});
    j["disagreements"] = r.disagreements.size();
    j["disagreeing_answers"] = list;
    return j.dump(2) + "\n";
}

} // namespace lchost
