// SPDX-License-Identifier: MIT
// lcache-sim-host (run as `lcache-sim host`): liblcache over the Linux
// peers in a private network namespace, under a seeded workload of queries
// and real kernel changes; every answer about a changed interface is
// checked against the kernel once the change's notifications are
// dispatched.  Exit status 0, 1 when an answer disagreed, 2 on bad
// options or where no namespace can be made, 3 when the run failed (the
// kernel refused a change, say).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <limits>

#include "host_run.h"
#include "host_summary.h"

namespace {

constexpr int kExitDisagreement = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitFailed = 3;

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"liblcache over the Linux kernel's interfaces, in a private network namespace"};
    app.name("lcache-sim host");
    // One line, like lcache-sim's own.
    app.failure_message([](const CLI::App *, const CLI::Error &e) {
        return "lcache-sim host: " + std::string(e.what()) + " (see --help)\n";
    });
    lchost::HostOptions o;
    app.add_option("--interfaces", o.interfaces, "veth pairs to build")
        ->check(CLI::Range(1u, lchost::kMaxInterfaces))
        ->capture_default_str();
    app.add_option("--changes", o.changes, "Kernel changes to make")
        ->check(CLI::Range(uint64_t{0}, lchost::kMaxChanges))
        ->capture_default_str();
    app.add_option("--queries-per-change", o.queries_per_change, "Queries between two changes")
        ->check(CLI::Range(uint64_t{0}, lchost::kMaxQueriesPerChange))
        ->capture_default_str();
    app.add_option("--seed", o.seed, "Seed of the workload")
        ->check(CLI::Range(uint64_t{0}, std::numeric_limits<uint64_t>::max()))
        ->capture_default_str();
    app.add_option("--flush-every", o.flush_every, "Changes between two flushes (0: none)")
        ->check(CLI::Range(uint64_t{0}, lchost::kMaxChanges))
        ->capture_default_str();
    app.add_option("--late-burst", o.late_burst,
                   "Changes of a late burst, made now and then with no dispatch in between "
                   "(0: none)")
        ->check(CLI::Range(0u, lchost::kMaxLateBurst))
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
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int status = app.exit(e);
        return status == 0 ? 0 : kExitBadInput;
    }

    lchost::HostResult result;
    std::string why;
    if (!lchost::run_host(o, result, why)) {
        std::fprintf(stderr, "lcache-sim host: %s\n", why.c_str());
        return why.starts_with("cannot create a network namespace") ? kExitBadInput : kExitFailed;
    }
    std::fputs((o.json ? lchost::summary_json(result) : lchost::summary_text(result)).c_str(), stdout);
    if (!result.disagreements.empty())
        return kExitDisagreement;
    if (o.overrun && result.overruns == 0) {
        std::fprintf(stderr, "lcache-sim host: --overrun lost no notification on this kernel\n");
        return kExitFailed;
    }
    return 0;
}
