// Argument handling of lcache-sim: help is complete, and every misuse
// stops with status 2 and a message naming what was wrong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tool_process.h"

namespace lcsimtest {
namespace {

using ::testing::HasSubstr;

TEST(LcacheSimCli, HelpListsTheSubcommands) {
    const ToolRun run = run_tool({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char *command : {"run", "replay", "serve"})
        EXPECT_THAT(run.out, HasSubstr(command));
}

TEST(LcacheSimCli, RunHelpDescribesEveryOptionGroup) {
    const ToolRun run = run_tool({"run", "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char *option :
         {"--ports", "--port-channels", "--vlans", "--profile", "--sync-mask", "--queries",
          "--seed", "--change-every", "--flush-every", "--peers", "--socket", "--json"})
        EXPECT_THAT(run.out, HasSubstr(option));
}

struct Misuse {
    const char *name;
    std::vector<std::string> args;
    const char *message;
};

void PrintTo(const Misuse &misuse, std::ostream *os) { *os << misuse.name; }

class LcacheSimMisuse : public ::testing::TestWithParam<Misuse> {};

TEST_P(LcacheSimMisuse, StopsWithStatusTwo) {
    const ToolRun run = run_tool(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr(GetParam().message));
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, LcacheSimMisuse,
    ::testing::Values(Misuse{"NoSubcommand", {}, "subcommand is required"},
                      Misuse{"UnknownOption", {"run", "--bogus"}, "--bogus"},
                      Misuse{"NegativeCount", {"run", "--queries", "-5"}, "--queries"},
                      Misuse{"WordForCount", {"run", "--queries", "many"}, "--queries"},
                      Misuse{"BadHexMask", {"run", "--sync-mask", "0xZZ"}, "--sync-mask"},
                      Misuse{"UnknownPeerMode", {"run", "--peers", "pigeon"}, "pigeon"},
                      Misuse{"UnknownProfile", {"run", "--profile", "huge"}, "huge"},
                      Misuse{"ShareAboveOne", {"run", "--hot-share", "2"}, "--hot-share"},
                      Misuse{"LeafTooSmall", {"run", "--ports", "2"}, "cannot hold"},
                      Misuse{"SocketWithoutIpc", {"run", "--socket", "/tmp/x"}, "--peers ipc"},
                      Misuse{"ReplayWithoutFile", {"replay"}, "file is required"},
                      Misuse{"MissingScenario", {"replay", "/nonexistent/scenario"}, "cannot open"},
                      Misuse{"ServeWithoutSocket", {"serve"}, "--socket is required"}),
    [](const auto &misuse) { return std::string(misuse.param.name); });

// The value of "key": N in the JSON summary (one key per line).
long long json_number(const std::string &json, const std::string &key) {
    const std::string marker = "\"" + key + "\": ";
    const size_t at = json.find(marker);
    if (at == std::string::npos)
        return -1;
    return std::stoll(json.substr(at + marker.size()));
}

TEST(LcacheSimCli, RunSchedulesChangesAndFlushesBeforeTheLastQuery) {
    const ToolRun run = run_tool(
        {"run", "--json", "--queries", "2000", "--change-every", "100", "--flush-every", "500"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_number(run.out, "queries"), 2000);
    EXPECT_EQ(json_number(run.out, "model_changes"), 19);
    EXPECT_EQ(json_number(run.out, "flushes"), 3);
    EXPECT_EQ(json_number(run.out, "disagreements"), 0);
}

TEST(LcacheSimCli, MaskOptionsReplaceTheProfilesAndTakeHex) {
    const ToolRun run = run_tool(
        {"run", "--json", "--queries", "500", "--profile", "minimal", "--sync-mask", "0x62002"});
    ASSERT_EQ(run.status, 0) << run.err;
    // lcache_init adds the interface-type bit, 0x2000000.
    EXPECT_EQ(json_number(run.out, "sync_mask"), 0x2062002);
}

} // namespace
} // namespace lcsimtest
