// SPDX-License-Identifier: MIT
// lcache-sim: a simulated switch driven through liblcache.
//
//   lcache-sim run [options]     a leaf switch served through the cache under
//                                a seeded workload: the cache's report and a
//                                summary of what it saved
//   lcache-sim replay FILE       a scenario, traced line by line
//   lcache-sim serve --socket P  the simulated switch as a server process
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <type_traits>

#include "command_line.h"
#include "host_command.h"
#include "queries.h"
#include "replay.h"
#include "run.h"
#include "sim/ipc_protocol.h"
#include "sim/ipc_server.h"

namespace {

constexpr const char *kProgram = "lcache-sim";

using lcsim::PeerMode;

using tooluse::number;

// A share: a number from 0 to 1 (NaN is none).
const CLI::Validator kShare(
    [](std::string &text) {
        char *end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !(value >= 0.0 && value <= 1.0))
            return "'" + text + "' is not a number from 0 to 1";
        return std::string();
    },
    "0-1", "share");

const CLI::Validator kSocketPath(
    [](std::string &path) { return sim::ipc::socket_path_problem(path); }, "PATH", "socket path");

// The --peers words, read into a PeerMode once parsing is done.
struct PeerChoice {
    std::string word = "inproc";
    PeerMode mode() const { return word == "ipc" ? PeerMode::ipc : PeerMode::inproc; }
};

void add_peer_options(CLI::App *cmd, PeerChoice &peers, std::string &socket,
                      uint32_t &timeout_ms) {
    cmd->add_option("--peers", peers.word,
                    "How peer calls reach the switch: inproc (a call into the model) or ipc "
                    "(a request and an answer over a Unix socket to a server process)")
        ->check(CLI::IsMember({"inproc", "ipc"}))
        ->capture_default_str();
    cmd->add_option("--socket", socket,
                    "With --peers ipc: the socket of a server started with `lcache-sim serve`, "
                    "instead of a server process of its own")
        ->check(kSocketPath);
    cmd->add_option("--ipc-timeout", timeout_ms,
                    "With --peers ipc: milliseconds to wait for each answer before giving up on "
                    "the server (1 to 3600000)")
        ->check(number<uint32_t>(1, 3600000))
        ->capture_default_str();
}

void add_switch_options(CLI::App *cmd, sim::LeafOptions &leaf) {
    auto count = [&](const char *name, auto &field, std::string help) {
        cmd->add_option(name, field, help)
            ->check(number<std::remove_reference_t<decltype(field)>>())
            ->capture_default_str()
            ->group("Switch");
    };
    auto most = [](uint32_t max) { return " (at most " + std::to_string(max) + ")"; };
    count("--ports", leaf.ethernet_ports, "Ethernet ports" + most(sim::kMaxLeafPorts));
    count("--port-channels", leaf.port_channels,
          "Port-channels, each made of the last ports" + most(sim::kMaxLeafPortChannels));
    count("--members", leaf.members_per_channel,
          "Member ports per port-channel (all of them fit in the ports)");
    count("--vlans", leaf.vlans, "VLANs, each with its VLAN interface" + most(sim::kMaxLeafVlans));
    count("--first-vlan", leaf.first_vlan, "The first VLAN's number (the last is at most 4094)");
    count("--subinterfaces", leaf.subinterfaces,
          "Routed ports, each with one sub-interface" + most(sim::kMaxLeafSubinterfaces));
    count("--loopbacks", leaf.loopbacks, "Loopback interfaces" + most(sim::kMaxLeafLoopbacks));
    cmd->add_flag("!--no-mgmt", leaf.management, "Leave out the management port")->group("Switch");
}

void add_cache_options(CLI::App *cmd, lcsim::CacheSettings &cache) {
    cmd->add_option("--profile", cache.profile,
                    "Attribute block: full (every attribute), l2 (bridging), minimal (link, "
                    "protocol, MTU)")
        ->check(CLI::IsMember(lcsim::profile_names()))
        ->capture_default_str()
        ->group("Cache");
    auto mask = [&](const char *name, std::optional<uint32_t> &field, const char *help) {
        cmd->add_option(name, field, help)->check(number<uint32_t>())->group("Cache");
    };
    mask("--sync-mask", cache.sync_mask, "Attributes kept (replaces the profile's; 0x... for hex)");
    mask("--crit-mask", cache.crit_mask, "Attributes flush option 2 marks stale");
    mask("--med-mask", cache.med_mask, "Attributes flush option 1 marks stale");
    mask("--low-mask", cache.low_mask, "Attributes flush options 0 and 4+ mark stale");
    mask("--once-mask", cache.once_mask, "The mask the report shows as once");
    cmd->add_option("--table-size", cache.table_size,
                    "Buckets per table (0: the cache's 16384; at most " +
                        std::to_string(lcsim::kMaxTableSize) + ")")
        ->check(number<uint32_t>())
        ->capture_default_str()
        ->group("Cache");
    cmd->add_flag("--l3-track", cache.l3_track, "L3 notifications create and remove entries")
        ->group("Cache");
}

void add_workload_options(CLI::App *cmd, lcsim::WorkloadOptions &w) {
    auto count = [&](const char *name, auto &field, const char *help) {
        cmd->add_option(name, field, help)
            ->check(number<std::remove_reference_t<decltype(field)>>())
            ->capture_default_str()
            ->group("Workload");
    };
    count("--queries", w.queries, "Queries to ask");
    count("--seed", w.seed, "Seed of the workload");
    count("--change-every", w.change_every, "Queries between two model changes (0: none)");
    count("--flush-every", w.flush_every, "Queries between two flushes (0: none)");
    cmd->add_option("--hot-fraction", w.hot_fraction, "Share of the interfaces that are hot")
        ->check(kShare)
        ->capture_default_str()
        ->group("Workload");
    cmd->add_option("--hot-share", w.hot_share, "Share of the queries asked about hot interfaces")
        ->check(kShare)
        ->capture_default_str()
        ->group("Workload");
}

CLI::App *add_run_command(CLI::App &app, lcsim::RunOptions &run, PeerChoice &peers) {
    CLI::App *cmd = app.add_subcommand(
        "run", "Build a leaf switch, run a seeded workload through the cache, print the "
               "cache's report and a summary (exit status 1 when an answer disagreed)");
    add_switch_options(cmd, run.leaf);
    add_cache_options(cmd, run.cache);
    add_workload_options(cmd, run.workload);
    add_peer_options(cmd, peers, run.socket, run.ipc_timeout_ms);
    cmd->add_flag("--json", run.json, "Print only the summary, as JSON");
    cmd->add_flag("!--no-report", run.report, "Leave out the cache's report");
    cmd->add_flag("!--no-progress", run.progress, "No progress bar, even on a terminal");
    return cmd;
}

CLI::App *add_replay_command(CLI::App &app, lcsim::ReplayOptions &replay, PeerChoice &peers) {
    CLI::App *cmd = app.add_subcommand(
        "replay", "Carry out a scenario file line by line and trace it on standard output "
                  "(see examples/); a bad line stops it with file:line: message, status 2");
    cmd->add_option("file", replay.file, "The scenario")->required();
    std::string kinds;
    for (const lcsim::QueryKind &kind : lcsim::query_kinds())
        kinds += std::string(kinds.empty() ? "" : " ") + kind.name;
    cmd->footer(
        "Scenario lines (# starts a comment; at most 4096 characters):\n"
        "  leaf [ports=N port-channels=N members=N vlans=N first-vlan=N subinterfaces=N\n"
        "       loopbacks=N mgmt=yes|no slice=N] | empty\n"
        "  add ethernet M/P | mgmt N | port-channel N | vlan V | vlan-interface V |\n"
        "      subinterface IF N VLAN | loopback N | null0 | tunnel gre|stretch|mpls|6to4 N\n"
        "  remove IF | link IF up|down | protocol IF up|down | mtu IF N | mac IF xxxx.xxxx.xxxx\n"
        "  encap IF N | vlan IF V | switchport IF routed|access|trunk | switching IF on|off\n"
        "  port-mode IF N | extension IF KEY VALUE | private-data IF KEY VALUE SIZE\n"
        "  set-iod|set-pi|set-lif IF N | member add|remove|up|down CHANNEL PORT\n"
        "  vlan-bd V BD | flood-index BD FI | primary-vlan V P\n"
        "  notify | drop              hand the pending notifications to the cache, or lose them\n"
        "  init [profile=P sync=M crit=M med=M low=M once=M table-size=N l3-track=yes|no]\n"
        "  cleanup | disable | restore\n"
        "  query KIND TARGET          TARGET: an interface, or iod:N ifindex:N pi:N lif:N vlan:N\n"
        "  flush all|vlans|IF OPTION | flush vlan V OPTION | refresh IF\n"
        "  dump | dump entries | dump IF | dump vlan V\n"
        "  watch all|MASK | unwatch    trace the cache's change events, one \"@\" line each\n"
        "KIND: " +
        kinds);
    add_peer_options(cmd, peers, replay.socket, replay.ipc_timeout_ms);
    return cmd;
}

struct ServeOptions {
    std::string socket;
    uint32_t idle_timeout_s = 30;
};

CLI::App *add_serve_command(CLI::App &app, ServeOptions &serve) {
    CLI::App *cmd = app.add_subcommand(
        "serve", "Serve the simulated switch on a Unix socket (run or replay with --peers ipc "
                 "--socket PATH), one client at a time, each on a new empty switch; a client "
                 "that connects meanwhile is turned away.  Stops on SIGINT or SIGTERM");
    cmd->add_option("--socket", serve.socket,
                    "Where to listen; a socket file left there by a killed server is replaced")
        ->required()
        ->check(kSocketPath);
    cmd->add_option("--idle-timeout", serve.idle_timeout_s,
                    "Seconds a client may stay silent between requests before it is dropped, so "
                    "that the clients waiting behind it are served (1 to 86400)")
        ->check(number<uint32_t>(1, 86400))
        ->capture_default_str();
    return cmd;
}

int serve(const ServeOptions &serve) {
    try {
        return sim::ipc::serve_at(serve.socket, sim::ipc::kDefaultFrameTimeout,
                                  std::chrono::seconds(serve.idle_timeout_s));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lcache-sim: %s\n", e.what());
        return tooluse::kExitFailed;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::string_view(argv[1]) == "host")
        return lcsim::run_host(argv + 1);
    CLI::App app{"A simulated switch driven through liblcache"};
    tooluse::one_line_errors(app, kProgram);
    app.require_subcommand(1);
    lcsim::RunOptions run;
    lcsim::ReplayOptions replay;
    PeerChoice peers;
    ServeOptions serve_options;
    CLI::App *run_cmd = add_run_command(app, run, peers);
    CLI::App *replay_cmd = add_replay_command(app, replay, peers);
    CLI::App *serve_cmd = add_serve_command(app, serve_options);
    app.add_subcommand("host", lcsim::kHostDescription);
    if (tooluse::unknown_subcommand(app, argc, argv, kProgram))
        return tooluse::kExitMisuse;
    if (const auto status = tooluse::parse(app, argc, argv, kProgram))
        return tooluse::finish(*status, kProgram);
    if (peers.mode() != PeerMode::ipc && !(run.socket.empty() && replay.socket.empty())) {
        std::fprintf(stderr, "lcache-sim: --socket needs --peers ipc\n");
        return tooluse::kExitMisuse;
    }
    run.peers = peers.mode();
    replay.peers = peers.mode();
    int status = tooluse::kExitMisuse;
    if (run_cmd->parsed())
        status = lcsim::run(run);
    else if (replay_cmd->parsed())
        status = lcsim::replay(replay);
    else if (serve_cmd->parsed())
        status = serve(serve_options);
    return tooluse::finish(status, kProgram);
}
