// SPDX-License-Identifier: MIT
// Hostile and careless clients of `lcache-sim serve`, and hostile servers
// of `lcache-sim run --peers ipc`: each case ends quickly with one clear
// line, and the server stays up for the next client.
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/ipc_protocol.h"
#include "tool_process.h"

namespace lcsimtest {
namespace {

using namespace std::chrono_literals;
using sim::ipc::Answer;
using sim::ipc::Channel;
using sim::ipc::Clock;
using sim::ipc::Writer;
using ::testing::HasSubstr;

// Generous: the server may run under an emulator on a busy machine.
constexpr auto kPatience = 10s;

// An answer's code and, unless ok, its message.
struct Reply {
    uint8_t code = 0xFF;
    std::string message;
};

// A client that speaks the wire protocol by hand.
class RawClient {
  public:
    explicit RawClient(const std::string &path) : channel_(socket_at(path, ::connect)) {}

    std::optional<Reply> answer() {
        auto frame = channel_.receive(Clock::now() + kPatience);
        if (!frame)
            return std::nullopt;
        Reply reply;
        sim::ipc::Reader in(*frame);
        sim::ipc::get(in, reply.code);
        if (reply.code != static_cast<uint8_t>(Answer::ok))
            sim::ipc::get(in, reply.message);
        return reply;
    }

    void request(Writer &frame) { channel_.send(frame, Clock::now() + kPatience); }
    Reply ask(Writer &frame) {
        request(frame);
        auto reply = answer();
        return reply ? *reply : Reply{};
    }
    void bytes(const void *data, size_t size) {
        ASSERT_EQ(::send(channel_.fd(), data, size, MSG_NOSIGNAL), static_cast<ssize_t>(size));
    }
    // True once the server has closed the link.
    bool dropped() {
        try {
            return !channel_.receive(Clock::now() + kPatience);
        } catch (const sim::ipc::LinkError &) {
            return true;
        }
    }

  private:
    Channel channel_;
};

constexpr uint8_t kOk = static_cast<uint8_t>(Answer::ok);
constexpr uint8_t kBuild = static_cast<uint8_t>(sim::ipc::Op::build);
constexpr uint8_t kLinkup = static_cast<uint8_t>(sim::PeerFn::netif_is_linkup);
constexpr uint8_t kFailed = static_cast<uint8_t>(Answer::failed);
constexpr uint8_t kRefused = static_cast<uint8_t>(Answer::refused);

Writer request(uint8_t op) {
    Writer w;
    sim::ipc::put(w, op);
    return w;
}

Writer build_request(const sim::LeafOptions &leaf) {
    Writer w = request(kBuild);
    sim::ipc::put(w, true);
    sim::ipc::put(w, leaf);
    return w;
}

class ServedSwitch : public ::testing::Test {
  protected:
    // Over a stale socket file, as a killed server leaves: bound and closed.
    void SetUp() override {
        close(socket_at(socket_, ::bind));
        server_.emplace(std::vector<std::string>{"serve", "--socket", socket_});
        ASSERT_TRUE(eventually([&] { return accepting(socket_); }, 30s));
    }

    // A client greeted, whose build of a small leaf and one peer call are
    // answered.
    void expect_served() {
        RawClient client(socket_);
        ASSERT_EQ(client.answer()->code, kOk);
        sim::LeafOptions leaf;
        leaf.ethernet_ports = 8;
        leaf.port_channels = 1;
        leaf.vlans = 2;
        Writer build = build_request(leaf);
        const Reply built = client.ask(build);
        EXPECT_EQ(built.code, kOk) << built.message;
        Writer linkup = request(kLinkup);
        sim::ipc::put(linkup, uint32_t{2});
        EXPECT_EQ(client.ask(linkup).code, kOk);
    }

    // Stops the server; its exit status and log.
    ToolRun stop() {
        server_->stop();
        return server_->wait();
    }

    TempDir dir_;
    std::string socket_ = dir_.path("switch.sock");
    std::optional<ToolProcess> server_;
};

// What the client does once its bytes are sent and any answer read.
enum class Then { goes_on, hangs_up, is_dropped };

struct Abuse {
    const char *name;
    std::vector<uint8_t> bytes; // sent as they are, the length included
    Then then;
    const char *answer; // the answer's message, if it gets one
    const char *log;    // the server's line about it, if it writes one
};

void PrintTo(const Abuse &abuse, std::ostream *os) { *os << abuse.name; }

class Abuses : public ServedSwitch, public ::testing::WithParamInterface<Abuse> {};

// A well-framed request that cannot be read is answered "failed" and the
// same client goes on; a broken frame costs the server that client alone,
// dropped quickly.  Either way the next client is served.
TEST_P(Abuses, CostTheServerAtMostThatClient) {
    {
        RawClient client(socket_);
        ASSERT_EQ(client.answer()->code, kOk);
        client.bytes(GetParam().bytes.data(), GetParam().bytes.size());
        if (GetParam().answer) {
            const auto reply = client.answer();
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->code, kFailed);
            EXPECT_THAT(reply->message, HasSubstr(GetParam().answer));
        }
        if (GetParam().then == Then::goes_on) {
            Writer empty = request(kBuild);
            sim::ipc::put(empty, false);
            EXPECT_EQ(client.ask(empty).code, kOk);
        } else if (GetParam().then == Then::is_dropped) {
            const auto start = Clock::now();
            EXPECT_TRUE(client.dropped());
            EXPECT_LT(Clock::now() - start, kPatience);
        }
    }
    expect_served();
    const ToolRun run = stop();
    EXPECT_EQ(run.status, 0);
    if (GetParam().log) {
        EXPECT_THAT(run.err, HasSubstr(std::string("dropped a client: ") + GetParam().log));
    }
}

// A frame of `payload`, its length little-endian as on every target.
std::vector<uint8_t> framed(std::vector<uint8_t> payload) {
    payload.insert(payload.begin(), {static_cast<uint8_t>(payload.size()), 0, 0, 0});
    return payload;
}

// One past the largest frame's length.
constexpr uint8_t kOverlong[] = {0x01, 0x00, 0x10, 0x00};
static_assert(sim::ipc::kMaxFrame + 1 == 0x100001);
const std::vector<uint8_t> kHalfFrame = {100, 0, 0, 0, kLinkup, 1};

INSTANTIATE_TEST_SUITE_P(
    Clients, Abuses,
    ::testing::Values(Abuse{"Empty", framed({}), Then::goes_on, "a frame ended early", nullptr},
                      Abuse{"UnknownOp", framed({0xC3}), Then::goes_on,
                            "request 195 does not exist", nullptr},
                      Abuse{"MissingArgument", framed({kLinkup, 1, 0}), Then::goes_on,
                            "a frame ended early", nullptr},
                      Abuse{"LeftoverBytes", framed({kLinkup, 1, 0, 0, 0, 9}), Then::goes_on,
                            "nobody asked for", nullptr},
                      Abuse{"BooleanOfSeven", framed({kBuild, 7}), Then::goes_on,
                            "a boolean travelled as 7", nullptr},
                      Abuse{"UnknownChangeKind", framed({0x81, 99, 0, 0, 0, 0}), Then::goes_on,
                            "change kind 99 does not exist", nullptr},
                      Abuse{"OverlongFrame",
                            {std::begin(kOverlong), std::end(kOverlong)},
                            Then::is_dropped,
                            "is too long",
                            "a frame of 1048577 bytes is too long"},
                      Abuse{"HangUpMidFrame", kHalfFrame, Then::hangs_up, nullptr, nullptr},
                      Abuse{"StallMidFrame", kHalfFrame, Then::is_dropped, nullptr,
                            "the other end stalled in the middle of a frame"}),
    [](const auto &abuse) { return std::string(abuse.param.name); });

// Every request of a flood is answered in turn, the leaves past a bound
// refused before anything is built.
TEST_F(ServedSwitch, AnswersAFloodOfBuildRequests) {
    RawClient client(socket_);
    ASSERT_EQ(client.answer()->code, kOk);
    sim::LeafOptions huge;
    huge.loopbacks = 0xFFFFFFFF;
    sim::LeafOptions small;
    small.ethernet_ports = 16;
    small.port_channels = 1;
    constexpr int kRequests = 300;
    for (int i = 0; i < kRequests; ++i) {
        Writer build = build_request(i % 3 == 0 ? small : huge);
        client.request(build);
    }
    int refused = 0, built = 0;
    for (int i = 0; i < kRequests; ++i) {
        const auto reply = client.answer();
        ASSERT_TRUE(reply);
        refused += reply->code == kRefused;
        built += reply->code == kOk;
        if (reply->code == kRefused) {
            EXPECT_EQ(reply->message, "a leaf holds at most 1024 loopbacks, not 4294967295");
        }
    }
    EXPECT_EQ(built, kRequests / 3);
    EXPECT_EQ(refused, kRequests - kRequests / 3);
}

TEST_F(ServedSwitch, TurnsASecondClientOrServerAwayAndServesTheNext) {
    {
        RawClient first(socket_);
        ASSERT_EQ(first.answer()->code, kOk);
        RawClient second(socket_);
        const auto greeting = second.answer();
        ASSERT_TRUE(greeting);
        EXPECT_EQ(greeting->code, kFailed);
        EXPECT_THAT(greeting->message, HasSubstr("serving another client"));
        EXPECT_TRUE(second.dropped());
        Writer empty = request(kBuild);
        sim::ipc::put(empty, false);
        EXPECT_EQ(first.ask(empty).code, kOk);
    }
    const ToolRun second_server = run_tool({"serve", "--socket", socket_});
    EXPECT_EQ(second_server.status, 1);
    EXPECT_THAT(second_server.err, HasSubstr("another server is listening there"));
    expect_served();
    const ToolRun run = stop();
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.err, HasSubstr("turned away a second client"));
}

// A client that connects and then says nothing is dropped once it has
// been silent for the idle timeout, and the client after it is served
// instead of being turned away for ever.
TEST(ServeIdleClient, IsDroppedSoTheNextIsServed) {
    TempDir dir;
    const std::string socket = dir.path("switch.sock");
    ToolProcess server(std::vector<std::string>{"serve", "--socket", socket, "--idle-timeout", "1"});
    ASSERT_TRUE(eventually([&] { return accepting(socket); }, 30s));
    RawClient idle(socket);
    ASSERT_EQ(idle.answer()->code, kOk);
    EXPECT_TRUE(idle.dropped());
    RawClient next(socket);
    const auto greeting = next.answer();
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->code, kOk) << greeting->message;
    server.stop();
    const ToolRun run = server.wait();
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.err, HasSubstr("dropped a client silent for 1000 ms"));
}

TEST(ServeSocketFile, NeverReplacesAnotherFile) {
    const TempDir dir;
    const std::string path = dir.file("notes.txt", "keep me\n");
    const ToolRun run = run_tool({"serve", "--socket", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "lcache-sim: cannot listen on " + path + ": it exists and is not a socket\n");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}),
              "keep me\n");
}

// The path given is the one used: no server of the tool's own stands in.
TEST(RunOverIpc, FailsWhenNothingListensAtItsSocket) {
    const TempDir dir;
    const std::string path = dir.path("nobody.sock");
    const ToolRun run = run_tool({"run", "--peers", "ipc", "--socket", path, "--queries", "100"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lcache-sim: cannot connect to " + path + ": No such file or directory\n");
    EXPECT_EQ(run.out, "");
}

struct BadServer {
    const char *name;
    std::vector<uint8_t> greeting;
    const char *message;
};

void PrintTo(const BadServer &bad, std::ostream *os) { *os << bad.name; }

class BadServers : public ::testing::TestWithParam<BadServer> {};

// A server of the test's own greets the tool with `greeting` (accepts
// nothing when it is empty) and then falls silent, the link held open.
TEST_P(BadServers, EndTheRunWithOneLine) {
    const TempDir dir;
    const std::string path = dir.path("fake.sock");
    const int listener = socket_at(path, ::bind);
    ASSERT_EQ(::listen(listener, 4), 0);
    const auto start = Clock::now();
    ToolProcess tool(
        {"run", "--peers", "ipc", "--socket", path, "--ipc-timeout", "300", "--queries", "100"});
    std::optional<Channel> link;
    if (!GetParam().greeting.empty()) {
        link.emplace(::accept(listener, nullptr, nullptr));
        Writer greeting;
        greeting.raw(GetParam().greeting.data(), GetParam().greeting.size());
        link->send(greeting);
    }
    const ToolRun run = tool.wait();
    close(listener);
    EXPECT_LT(Clock::now() - start, kPatience);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("lcache-sim: ") + GetParam().message + "\n");
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Servers, BadServers,
    ::testing::Values(
        BadServer{"Silent", {}, "the switch server did not answer within 300 ms"},
        BadServer{"UnknownAnswerCode", {7}, "the switch server answered with unknown code 7"},
        BadServer{"Busy", {kFailed, 4, 0, 0, 0, 'b', 'u', 's', 'y'}, "the switch server: busy"}),
    [](const auto &bad) { return std::string(bad.param.name); });

} // namespace
} // namespace lcsimtest
