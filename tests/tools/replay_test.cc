// SPDX-License-Identifier: MIT
// Replays: every example scenario traces exactly as its expected output,
// in both peer modes; a bad line stops the replay with file:line and
// status 2, leaving no process running.
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_process.h"

namespace lcsimtest {
namespace {

using ::testing::EndsWith;
using ::testing::IsEmpty;

std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Example {
    const char *name;
    int status; // 1: the scenario shows a stale answer on purpose
};

void PrintTo(const Example &example, std::ostream *os) { *os << example.name; }

class ExampleReplay : public ::testing::TestWithParam<Example> {};

TEST_P(ExampleReplay, TracesAsExpectedInBothPeerModes) {
    const std::string base = examples_dir() + "/" + GetParam().name;
    const std::string expected = read_file(base + ".out");
    ASSERT_FALSE(expected.empty()) << base << ".out is missing";
    for (const char *peers : {"inproc", "ipc"}) {
        const ToolRun run = run_tool({"replay", "--peers", peers, base + ".scn"});
        EXPECT_EQ(run.status, GetParam().status) << peers << ": " << run.err;
        EXPECT_EQ(run.out, expected) << peers;
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleReplay,
                         ::testing::Values(Example{"link-flap", 0}, Example{"lost-notification", 1},
                                           Example{"port-channel", 0}, Example{"vlan-cache", 0},
                                           Example{"switchport", 0}, Example{"watch", 0}),
                         [](const auto &example) {
                             std::string name = example.param.name;
                             std::erase(name, '-');
                             return name;
                         });

struct BadLine {
    const char *name;
    const char *line;
    const char *message;
};

void PrintTo(const BadLine &bad, std::ostream *os) { *os << bad.line; }

using BadScenario = ::testing::TestWithParam<BadLine>;

TEST_P(BadScenario, StopsAtTheLineWithStatusTwo) {
    const TempDir dir;
    const std::string good = "leaf ports=8 port-channels=1 vlans=2\ninit table-size=16\n"
                             "query linkup Ethernet1/1\n";
    const std::string path = dir.file("bad.scn", good + GetParam().line + "\nquery mtu Vlan100\n");
    for (const char *peers : {"inproc", "ipc"}) {
        const ToolRun run = run_tool({"replay", "--peers", peers, path});
        EXPECT_EQ(run.status, 2) << peers;
        EXPECT_EQ(run.err, path + ":4: " + GetParam().message + "\n") << peers;
        // The trace stops at the echo of the bad line.
        EXPECT_THAT(run.out, EndsWith("> " + std::string(GetParam().line) + "\n")) << peers;
        // A forked server runs with its parent's command line.
        EXPECT_THAT(processes_mentioning(path), IsEmpty()) << peers << ": left running";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScenario,
    ::testing::Values(
        BadLine{"UnknownCommand", "frob Ethernet1/1", "unknown command 'frob'"},
        BadLine{"BadNumber", "mtu Ethernet1/1 fast", "bad number 'fast'"},
        BadLine{"UnknownInterface", "link Ethernet9/9 down", "no interface named 'Ethernet9/9'"},
        BadLine{"UnknownQuery", "query speed Ethernet1/1", "no query named 'speed'"},
        BadLine{"RefusedByTheSwitch", "remove Ethernet1/8",
                "Ethernet1/8 is a member of port-channel1"},
        BadLine{"BadWord", "link Ethernet1/1 sideways", "expected 'up' or 'down', not 'sideways'"},
        BadLine{"LeafPastItsBound", "leaf loopbacks=4294967295",
                "a leaf holds at most 1024 loopbacks, not 4294967295"},
        BadLine{"TablePastItsBound", "init table-size=4294967295",
                "a table holds at most 1048576 buckets, not 4294967295"}),
    [](const auto &bad) { return std::string(bad.param.name); });

} // namespace
} // namespace lcsimtest
