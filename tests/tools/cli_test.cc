// SPDX-License-Identifier: MIT
// Argument handling of lcache-sim: help is complete, and every misuse
// stops with status 2 and a message naming what was wrong.
#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tool_process.h"

namespace lcsimtest {
namespace {

using ::testing::HasSubstr;

// Version and help go to standard output; help names every subcommand and
// every option group of `run`.
// `lcache-sim host` executes lcache-sim-host itself; under the emulator
// that program is a foreign binary the kernel cannot start.
bool host_needs_native_exec(const std::vector<std::string> &args) {
    return std::string_view(LCSIM_EMULATOR) != "" && !args.empty() && args.front() == "host";
}

TEST(LcacheSimCli, VersionAndHelpNameWhatIsOffered) {
    const ToolRun version = run_tool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, ::testing::MatchesRegex("lcache-sim [0-9]+\\.[0-9]+\\.[0-9]+\n"));
    const ToolRun of_run = run_tool({"run", "--version"});
    EXPECT_EQ(of_run.status, 0);
    EXPECT_EQ(of_run.out, version.out);
    if (!host_needs_native_exec({"host"})) {
        const ToolRun host = run_tool({"host", "--version"});
        EXPECT_EQ(host.status, 0);
        EXPECT_EQ(host.out, "lcache-sim-host " + version.out.substr(std::string("lcache-sim ").size()));
    }
    const std::pair<std::vector<std::string>, std::vector<const char *>> kHelp[] = {
        {{"--help"}, {"run", "replay", "serve"}},
        {{"run", "--help"},
         {"--ports", "--port-channels", "--vlans", "--profile", "--sync-mask", "--queries",
          "--seed", "--change-every", "--flush-every", "--peers", "--socket", "--json"}},
        {{"host", "--help"},
         {"--interfaces", "--changes", "--late-burst", "--sync", "--overrun", "--json"}}};
    for (const auto &[args, words] : kHelp) {
        if (host_needs_native_exec(args))
            continue;
        const ToolRun run = run_tool(args);
        EXPECT_EQ(run.status, 0) << args.front();
        for (const char *word : words)
            EXPECT_THAT(run.out, HasSubstr(word)) << args.front();
    }
}

struct Misuse {
    std::string name;
    std::vector<std::string> args;
    std::string message;
};

void PrintTo(const Misuse &misuse, std::ostream *os) { *os << misuse.name; }

class LcacheSimMisuse : public ::testing::TestWithParam<Misuse> {};

// One line, at once: nothing is built or started first.
TEST_P(LcacheSimMisuse, StopsWithStatusTwoAndOneLine) {
    if (host_needs_native_exec(GetParam().args))
        GTEST_SKIP() << "lcache-sim host starts lcache-sim-host, which the emulator cannot";
    const ToolRun run = run_tool(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr(GetParam().message));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, LcacheSimMisuse,
    ::testing::Values(Misuse{"NoSubcommand", {}, "subcommand is required"},
                      Misuse{"UnknownSubcommand", {"bogus"}, "lcache-sim: unknown subcommand 'bogus'"},
                      Misuse{"UnknownOption", {"run", "--bogus"}, "--bogus"},
                      Misuse{"BadHexMask", {"run", "--sync-mask", "0xZZ"}, "--sync-mask: '0xZZ'"},
                      Misuse{"UnknownPeerMode", {"run", "--peers", "pigeon"}, "pigeon"},
                      Misuse{"UnknownProfile", {"run", "--profile", "huge"}, "huge"},
                      Misuse{"LeafTooSmall", {"run", "--ports", "2"}, "cannot hold"},
                      Misuse{"SocketWithoutIpc", {"run", "--socket", "/tmp/x"}, "--peers ipc"},
                      Misuse{"ReplayWithoutFile", {"replay"}, "file is required"},
                      Misuse{"MissingScenario",
                             {"replay", "/nonexistent/scenario"},
                             "cannot open /nonexistent/scenario: No such file or directory"},
                      Misuse{"ReplayOfADirectory", {"replay", "/"}, "cannot open /: Is a directory"},
                      Misuse{"ServeWithoutSocket", {"serve"}, "--socket is required"},
                      Misuse{"ServeOnEmptyPath", {"serve", "--socket", ""}, "path is empty"},
                      Misuse{"ServeOnLongPath",
                             {"serve", "--socket", "/tmp/" + std::string(120, 's')},
                             "path is longer than 107 bytes"},
                      Misuse{"RunOnEmptySocket",
                             {"run", "--peers", "ipc", "--socket", ""},
                             "path is empty"},
                      Misuse{"LoopbacksPastTheirBound",
                             {"run", "--loopbacks", "4294967295"},
                             "a leaf holds at most 1024 loopbacks, not 4294967295"},
                      Misuse{"PortChannelsPastTheirBound",
                             {"run", "--port-channels", "5000", "--members", "0"},
                             "at most 4096 port-channels"},
                      Misuse{"TablePastItsBound",
                             {"run", "--table-size", "4294967295"},
                             "a table holds at most 1048576 buckets"},
                      Misuse{"HostUnknownOption",
                             {"host", "--bogus"},
                             "lcache-sim-host: The following argument was not expected: --bogus"},
                      Misuse{"HostSyncWithAValue",
                             {"host", "--sync=maybe"},
                             "Could not convert: --sync = maybe"},
                      Misuse{"HostSyncWithAnArgument",
                             {"host", "--sync", "3"},
                             "argument was not expected: 3"}),
    [](const auto &misuse) { return misuse.param.name; });

// Every numeric option of both programs, with the bounds its help gives.
struct NumericOption {
    const char *command;
    const char *option;
    const char *min;
    const char *max;
};

constexpr NumericOption kNumericOptions[] = {
    {"run", "--ports", "0", "4294967295"},
    {"run", "--port-channels", "0", "4294967295"},
    {"run", "--members", "0", "4294967295"},
    {"run", "--vlans", "0", "4294967295"},
    {"run", "--first-vlan", "0", "65535"},
    {"run", "--subinterfaces", "0", "4294967295"},
    {"run", "--loopbacks", "0", "4294967295"},
    {"run", "--sync-mask", "0", "4294967295"},
    {"run", "--crit-mask", "0", "4294967295"},
    {"run", "--med-mask", "0", "4294967295"},
    {"run", "--low-mask", "0", "4294967295"},
    {"run", "--once-mask", "0", "4294967295"},
    {"run", "--table-size", "0", "4294967295"},
    {"run", "--queries", "0", "18446744073709551615"},
    {"run", "--seed", "0", "18446744073709551615"},
    {"run", "--change-every", "0", "4294967295"},
    {"run", "--flush-every", "0", "4294967295"},
    {"run", "--hot-fraction", "0", "1"},
    {"run", "--hot-share", "0", "1"},
    {"run", "--ipc-timeout", "1", "3600000"},
    {"replay", "--ipc-timeout", "1", "3600000"},
    {"serve", "--idle-timeout", "1", "86400"},
    {"host", "--interfaces", "1", "8192"},
    {"host", "--changes", "0", "1000000"},
    {"host", "--queries-per-change", "0", "100000"},
    {"host", "--seed", "0", "18446744073709551615"},
    {"host", "--flush-every", "0", "1000000"},
    {"host", "--late-burst", "0", "100000"},
};

// One past the bound in decimal, done on the digits: the bounds go past
// what a 64-bit integer holds.
std::string one_more(std::string number) {
    for (auto digit = number.rbegin(); digit != number.rend(); ++digit) {
        if (*digit != '9') {
            ++*digit;
            return number;
        }
        *digit = '0';
    }
    return "1" + number;
}

// A number below, a number above and a word, for every numeric option.
std::vector<Misuse> bad_numbers() {
    std::vector<Misuse> rows;
    for (const NumericOption &o : kNumericOptions) {
        const std::string program = o.command == std::string_view("host") ? "lcache-sim-host"
                                                                           : "lcache-sim";
        const std::string below = o.min == std::string_view("0") ? "-1" : "0";
        for (const std::string &bad : {below, one_more(o.max), std::string("many")}) {
            std::vector<std::string> args = {o.command, o.option, bad};
            if (args.front() == "replay")
                args.push_back("scenario.scn");
            if (args.front() == "serve")
                args.insert(args.end(), {"--socket", "unused.sock"});
            std::string name = std::string(o.command) + o.option + "_" + bad;
            std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
            rows.push_back({name, args,
                            program + ": " + o.option + ": '" + bad + "' is not a number from " +
                                o.min + " to " + o.max});
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Numbers, LcacheSimMisuse, ::testing::ValuesIn(bad_numbers()),
                         [](const auto &misuse) { return misuse.param.name; });

// Output that cannot be written fails the run: a full disk is not success.
TEST(LcacheSimCli, OutputThatCannotBeWrittenFailsWithOneLine) {
    const std::vector<std::string> kWriters[] = {
        {"--version"},
        {"run", "--help"},
        {"run", "--queries", "100", "--json"},
        {"run", "--queries", "100", "--no-report"},
        {"replay", examples_dir() + "/link-flap.scn"},
        {"host", "--version"}};
    for (const std::vector<std::string> &args : kWriters) {
        if (host_needs_native_exec(args))
            continue;
        const ToolRun run = run_tool(args, "/dev/full");
        EXPECT_EQ(run.status, 1) << args.front();
        EXPECT_THAT(run.err, ::testing::MatchesRegex("lcache-sim(-host)?: cannot write standard "
                                                     "output: [^\\n]*\n"))
            << args.front();
    }
}

// The summary says which seed and version made it, so the run can be
// repeated from its output alone: the same seed gives the same answers.
TEST(LcacheSimCli, SummaryNamesItsSeedAndVersionAndTheSeedRepeatsTheRun) {
    const std::string version = run_tool({"--version"}).out;
    const ToolRun first = run_tool({"run", "--json", "--queries", "3000", "--seed", "0x4d"});
    ASSERT_EQ(first.status, 0) << first.err;
    const auto summary = nlohmann::json::parse(first.out);
    EXPECT_EQ("lcache-sim " + summary["version"].get<std::string>() + "\n", version);
    ASSERT_EQ(summary["seed"], 77);
    const ToolRun again = run_tool({"run", "--json", "--queries", "3000", "--seed",
                                    std::to_string(summary["seed"].get<uint64_t>())});
    EXPECT_EQ(nlohmann::json::parse(again.out)["answer_digest"], summary["answer_digest"]);
    const ToolRun other = run_tool({"run", "--json", "--queries", "3000", "--seed", "78"});
    EXPECT_NE(nlohmann::json::parse(other.out)["answer_digest"], summary["answer_digest"]);
    const ToolRun plain = run_tool({"run", "--no-report", "--queries", "100", "--seed", "77"});
    EXPECT_THAT(plain.out, HasSubstr("seed 77:"));
    EXPECT_THAT(plain.out, HasSubstr("version              " + summary["version"].get<std::string>()));
}

TEST(LcacheSimCli, RunSchedulesChangesAndFlushesBeforeTheLastQuery) {
    const ToolRun run = run_tool(
        {"run", "--json", "--queries", "2000", "--change-every", "100", "--flush-every", "500"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto summary = nlohmann::json::parse(run.out);
    EXPECT_EQ(summary["queries"], 2000);
    EXPECT_EQ(summary["changes"], 19);
    EXPECT_EQ(summary["flushes"], 3);
    EXPECT_EQ(summary["disagreements"], 0);
    EXPECT_EQ(summary["disagreeing_answers"], nlohmann::json::array());
}

// The events counted account for every entry the cache holds at the end,
// and the flushes leave values stale.
TEST(LcacheSimCli, RunCountsEventsThatAccountForTheEntriesHeld) {
    const ToolRun run = run_tool(
        {"run", "--json", "--queries", "20000", "--change-every", "100", "--flush-every", "5000"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto summary = nlohmann::json::parse(run.out);
    for (const auto &[events, entries] : {std::pair{"interface_events", "interface_entries"},
                                          std::pair{"vlan_events", "vlan_entries"}}) {
        const auto &counted = summary[events];
        EXPECT_GT(counted["added"].get<uint64_t>(), 0u) << events;
        EXPECT_EQ(counted["added"].get<uint64_t>() - counted["removed"].get<uint64_t>(),
                  summary[entries].get<uint64_t>())
            << events;
    }
    EXPECT_GT(summary["interface_events"]["updated"].get<uint64_t>(), 0u);
    EXPECT_GT(summary["interface_events"]["stale_only"].get<uint64_t>(), 0u);
}

TEST(LcacheSimCli, MaskOptionsReplaceTheProfilesAndTakeHex) {
    const ToolRun run = run_tool(
        {"run", "--json", "--queries", "500", "--profile", "minimal", "--sync-mask", "0x62002"});
    ASSERT_EQ(run.status, 0) << run.err;
    // lcache_init adds the interface-type bit, 0x2000000.
    EXPECT_EQ(nlohmann::json::parse(run.out)["sync_mask"], 0x2062002);
}

} // namespace
} // namespace lcsimtest
