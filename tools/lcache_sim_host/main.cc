// SPDX-License-Identifier: MIT
// lcache-sim-host (run as `lcache-sim host`): liblcache over the Linux
// peers in a private network namespace, under a seeded workload of queries
// and real kernel changes; every answer about a changed interface is
// checked against the kernel once the change's notifications are
// dispatched.  Exit statuses as lcache-sim's (exit_status.h).
#include <CLI/CLI.hpp>

#include <cstdio>

#include "command_line.h"
#include "host_run.h"
#include "host_summary.h"

namespace {

constexpr const char *kProgram = "lcache-sim-host";

using tooluse::number;

void add_options(CLI::App &app, lchost::HostOptions &o) {
    app.add_option("--interfaces", o.interfaces, "veth pairs to build")
        ->check(number<uint32_t>(1, lchost::kMaxInterfaces))
        ->capture_default_str();
    app.add_option("--changes", o.changes, "Kernel changes to make")
        ->check(number<uint64_t>(0, lchost::kMaxChanges))
        ->capture_default_str();
    app.add_option("--queries-per-change", o.queries_per_change, "Queries between two changes")
        ->check(number<uint64_t>(0, lchost::kMaxQueriesPerChange))
        ->capture_default_str();
    app.add_option("--seed", o.seed, "Seed of the workload")
        ->check(number<uint64_t>())
        ->capture_default_str();
    app.add_option("--flush-every", o.flush_every, "Changes between two flushes (0: none)")
        ->check(number<uint64_t>(0, lchost::kMaxChanges))
        ->capture_default_str();
    app.add_option("--late-burst", o.late_burst,
                   "Changes of a late burst, made now and then with no dispatch in between "
                   "(0: none)")
        ->check(number<uint32_t>(0, lchost::kMaxLateBurst))
        ->capture_default_str();
    app.add_flag("--sync", o.sync,
                 "Start warm: fill the cache from one dump of every link (lcache_linux_sync) "
                 "right after opening the notification bridge");
    app.add_flag("--overrun", o.overrun,
                 "Starve the notification socket and make bursts of changes, so that "
                 "notifications are lost and the cache resynchronises");
    app.add_flag("--watch", o.watch,
                 "Watch every attribute of every interface: print one line per event as the "
                 "cache delivers it (to stderr with --json) and count the events by kind");
    app.add_flag("--json", o.json, "Print the summary as JSON");
}

int run(const lchost::HostOptions &o) {
    lchost::HostResult result;
    std::string why;
    switch (lchost::run_host(o, result, why)) {
    case lchost::HostOutcome::ran:
        break;
    case lchost::HostOutcome::no_namespace:
        std::fprintf(stderr, "%s: %s\n", kProgram, why.c_str());
        return tooluse::kExitMisuse;
    case lchost::HostOutcome::failed:
        std::fprintf(stderr, "%s: %s\n", kProgram, why.c_str());
        return tooluse::kExitFailed;
    }
    std::fputs((o.json ? lchost::summary_json(result) : lchost::summary_text(result)).c_str(),
               stdout);
    if (!result.disagreements.empty())
        return tooluse::kExitFailed;
    if (o.overrun && result.overruns == 0) {
        std::fprintf(stderr, "%s: --overrun lost no notification on this kernel\n", kProgram);
        return tooluse::kExitFailed;
    }
    return tooluse::kExitOk;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"liblcache over the Linux kernel's interfaces, in a private network namespace"};
    app.name(kProgram);
    tooluse::one_line_errors(app, kProgram);
    lchost::HostOptions o;
    add_options(app, o);
    if (const auto status = tooluse::parse(app, argc, argv, kProgram))
        return tooluse::finish(*status, kProgram);
    return tooluse::finish(run(o), kProgram);
}
