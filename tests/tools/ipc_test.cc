// SPDX-License-Identifier: MIT
// The switch served over IPC answers exactly as the switch in process: the
// same seed gives the same counters and the same answers.  A standalone
// server serves its clients one after another, killed ones too, until it
// is stopped; a forked one goes with the tool that forked it.  The
// interface classification and the slice never cross the socket.
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/ipc_client.h"
#include "sim/ipc_server.h"
#include "sim/leaf.h"
#include "sim/numbering.h"
#include "tool_process.h"

namespace lcsimtest {
namespace {

using namespace std::chrono_literals;

// The JSON summary without what depends on the peer mode: the mode itself
// and the times.
std::string comparable(const std::string &json) {
    std::istringstream in(json);
    std::string kept, line;
    while (std::getline(in, line))
        if (line.find("\"peers\"") == std::string::npos &&
            line.find("ns_per_query") == std::string::npos)
            kept += line + "\n";
    return kept;
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string> &more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

struct Workload {
    const char *name;
    std::vector<std::string> args;
};

void PrintTo(const Workload &workload, std::ostream *os) { *os << workload.name; }

class PeerModes : public ::testing::TestWithParam<Workload> {};

// Both modes count the local answers apart from the peer calls, and only
// the IPC mode spends time in round trips.
TEST_P(PeerModes, IpcAnswersExactlyAsInProcess) {
    const std::vector<std::string> args = with({"run", "--json"}, GetParam().args);
    std::vector<std::string> outs;
    for (const std::string mode : {"inproc", "ipc"}) {
        const ToolRun run = run_tool(with(args, {"--peers", mode}));
        ASSERT_EQ(run.status, 0) << run.err;
        const auto summary = nlohmann::json::parse(run.out);
        EXPECT_EQ(summary["disagreements"], 0) << mode;
        EXPECT_FALSE(summary["peer_calls_by_function"].contains("if_index_get_type")) << mode;
        EXPECT_FALSE(summary["peer_calls_by_function"].contains("hostctl_slice_get")) << mode;
        EXPECT_GT(summary["answered_locally_with_cache"]["if_index_get_type"].get<uint64_t>(), 0u)
            << mode;
        const double round_trips = summary["ns_per_query_without_cache_in_round_trips"];
        EXPECT_LE(round_trips, summary["ns_per_query_without_cache"].get<double>()) << mode;
        EXPECT_EQ(round_trips > 0, mode == "ipc") << mode;
        outs.push_back(comparable(run.out));
    }
    EXPECT_EQ(outs[1], outs[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Workloads, PeerModes,
    ::testing::Values(Workload{"Default", {"--queries", "3000", "--seed", "7"}},
                      Workload{"BridgingWithManyChanges",
                               {"--queries", "3000", "--profile", "l2", "--change-every", "40",
                                "--flush-every", "700", "--l3-track"}}),
    [](const auto &workload) { return std::string(workload.param.name); });

// The process's own switch and the served one differ on purpose: each
// local answer must come from the former, and take no round trip.
TEST(LocalAnswers, ComeFromThisProcessAndNeverCrossTheSocket) {
    sim::ipc::ServerProcess server;
    sim::ipc::Client client(server.take_client_fd());
    sim::LeafOptions leaf;
    leaf.ethernet_ports = 4;
    leaf.port_channels = 0;
    leaf.vlans = 0;
    leaf.slice = 5;
    client.build(leaf);
    sim::Switch here = sim::build_leaf_switch(leaf);
    here.set_slice(9);
    const sim::IfIndex only_here = here.add_ethernet(1, 77);
    sim::ipc::RemoteBackend backend(client, here);

    const auto waited = client.round_trip_time();
    EXPECT_EQ(backend.hostctl_slice_get(), 9);
    const sim::Reply<uint8_t> type = backend.if_index_get_type(only_here);
    EXPECT_EQ(std::tuple(type.status, type.value),
              std::tuple(sim::status::ok, sim::type_code(sim::IfType::ethernet)));
    EXPECT_EQ(backend.if_index_get_type(sim::ethernet_ifindex(1, 78)).status,
              sim::status::no_interface);
    EXPECT_EQ(client.round_trip_time(), waited);

    backend.netif_is_linkup(1);
    EXPECT_GT(client.round_trip_time(), waited) << "a peer call is a round trip";
}

// A killed client is followed by the next; a replay is served as a run is.
TEST(StandaloneServer, ServesClientsOneAfterAnotherUntilStopped) {
    const TempDir dir;
    const std::string socket = dir.path("switch.sock");
    ToolProcess server({"serve", "--socket", socket});
    ASSERT_TRUE(eventually([&] { return accepting(socket); }, 30s));
    {
        ToolProcess killed({"run", "--peers", "ipc", "--socket", socket, "--queries", "100000000"});
        // Long enough for the client to be connected and asking.
        std::this_thread::sleep_for(300ms);
        killed.kill_now();
        ASSERT_TRUE(killed.wait_for_exit(30s).has_value());
    }
    const std::vector<std::string> args = {"run", "--json", "--queries", "2000"};
    const ToolRun remote = run_tool(with(args, {"--peers", "ipc", "--socket", socket}));
    ASSERT_EQ(remote.status, 0) << remote.err;
    EXPECT_EQ(comparable(remote.out), comparable(run_tool(args).out));
    const ToolRun replay = run_tool(
        {"replay", "--peers", "ipc", "--socket", socket, examples_dir() + "/link-flap.scn"});
    EXPECT_EQ(replay.status, 0) << replay.err;
    server.stop();
    EXPECT_EQ(server.wait_for_exit(30s), 0);
    EXPECT_FALSE(std::filesystem::exists(socket)) << "a stopped server removes its socket";
}

// The server runs with the tool's command line, which a seed of this
// process's own marks apart from every other test's.
TEST(ForkedServer, GoesWhenTheToolIsKilled) {
    const std::string mark = "90" + std::to_string(getpid()) + "09";
    ToolProcess tool(
        {"run", "--peers", "ipc", "--queries", "100000000", "--no-progress", "--seed", mark});
    ASSERT_TRUE(eventually([&] { return processes_mentioning(mark).size() == 2; }, 30s));
    tool.kill_now();
    ASSERT_TRUE(tool.wait_for_exit(30s).has_value());
    EXPECT_TRUE(eventually([&] { return processes_mentioning(mark).empty(); }, 30s));
}

} // namespace
} // namespace lcsimtest
