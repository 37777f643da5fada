// lcache-sim: a simulated switch driven through the cache.
//
//   lcache-sim run [options]   build a leaf switch, serve a query workload
//                              through the cache, print the cache's report
//                              and a summary
#include <CLI/CLI.hpp>

#include "run.h"

int main(int argc, char **argv) {
    CLI::App app{"A simulated switch driven through liblcache"};
    app.require_subcommand(1);

    lcsim::RunOptions run;
    CLI::App *run_cmd = app.add_subcommand("run", "Run a seeded query workload through the cache");
    run_cmd->add_option("--ports", run.leaf.ethernet_ports, "Ethernet ports")->capture_default_str();
    run_cmd->add_option("--port-channels", run.leaf.port_channels, "Port-channels")
        ->capture_default_str();
    run_cmd->add_option("--vlans", run.leaf.vlans, "VLANs, each with a VLAN interface")
        ->capture_default_str();
    run_cmd->add_option("--queries", run.queries, "Queries to run")->capture_default_str();
    run_cmd->add_option("--seed", run.seed, "Seed of the workload")->capture_default_str();

    CLI11_PARSE(app, argc, argv);
    if (run_cmd->parsed())
        return lcsim::run(run);
    return 0;
}
