#include "host_summary.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "host_queries.h"
#include "printed.h"

namespace lchost {
namespace {

double ratio(uint64_t part, uint64_t whole) { return whole ? double(part) / double(whole) : 0.0; }

// The value below which `share` of the samples lie (nearest rank).
double percentile(std::vector<double> samples, double share) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(share * double(samples.size() - 1) + 0.5);
    return samples[rank];
}

using tooltext::printed;

std::string changes_text(const HostResult &r) {
    std::string out = "Changes by kind:";
    for (const auto &[kind, count] : r.changes_by_kind)
        out += printed(" %s %" PRIu64 ",", kind.c_str(), count);
    out.back() = '\n';
    if (r.burst_changes)
        out += printed("  %" PRIu64 " changes made within bursts\n", r.burst_changes);
    return out;
}

} // namespace

std::string summary_text(const HostResult &r) {
    std::string out;
    out += printed("Linux host: %u veth pairs, %" PRIu64 " changes, %" PRIu64 " queries, %" PRIu64
                   " flushes\n",
                   r.interfaces, r.changes, r.queries, r.flushes);
    if (!r.changes_by_kind.empty())
        out += changes_text(r);
    out += "\nHit ratio per family (answered without a kernel round trip)\n";
    for (const char *family : families()) {
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
                   " malformed, %" PRIu64 " overruns\n",
                   r.handled, r.skipped, r.malformed, r.overruns);
    out += printed("Staleness (change made -> cache answers it): median %.0f us, p99 %.0f us\n",
                   percentile(r.staleness_us, 0.5), percentile(r.staleness_us, 0.99));
    out +=
        printed("Memory held: %" PRIu64 " entries, %" PRIu64 " bytes\n", r.entries, r.entry_bytes);
    out += printed("Disagreements after dispatch: %zu\n", r.disagreements.size());
    for (const Disagreement &d : r.disagreements)
        out += "  " + d.interface + " " + d.query + ": cache " + d.cached + ", kernel " + d.kernel +
               " (after " + d.after + ")\n";
    return out;
}

std::string summary_json(const HostResult &r) {
    nlohmann::ordered_json j;
    j["interfaces"] = r.interfaces;
    j["changes"] = r.changes;
    j["queries"] = r.queries;
    j["flushes"] = r.flushes;
    j["changes_by_kind"] = r.changes_by_kind;
    j["burst_changes"] = r.burst_changes;
    for (const char *family : families()) {
        auto it = r.families.find(family);
        if (it != r.families.end())
            j["hit_ratio"][family] = ratio(it->second.hits, it->second.queries);
    }
    j["round_trips"] = {{"with_cache", r.cached_round_trips},
                        {"by_bridge", r.dispatch_round_trips},
                        {"without_cache", r.uncached_round_trips}};
    j["ns_per_query"] = {{"with_cache", r.cached_ns_per_query},
                         {"hit", r.cached_ns_per_hit},
                         {"miss", r.cached_ns_per_miss},
                         {"without_cache", r.uncached_ns_per_query}};
    j["notifications"] = {{"handled", r.handled},
                          {"skipped", r.skipped},
                          {"malformed", r.malformed},
                          {"overruns", r.overruns}};
    j["staleness_us"] = {{"median", percentile(r.staleness_us, 0.5)},
                         {"p99", percentile(r.staleness_us, 0.99)},
                         {"samples", r.staleness_us.size()}};
    j["memory"] = {{"entries", r.entries}, {"bytes", r.entry_bytes}};
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Disagreement &d : r.disagreements)
        list.push_back({{"interface", d.interface},
                        {"query", d.query},
                        {"cache", d.cached},
                        {"kernel", d.kernel},
                        {"after", d.after}});
    j["disagreements"] = list;
    return j.dump(2) + "\n";
}

} // namespace lchost
