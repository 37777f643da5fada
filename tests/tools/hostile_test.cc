// Hostile and careless clients of `lcache-sim serve`, and hostile servers
// of `lcache-sim run --peers ipc`: each case ends quickly with one clear
// line, and the server stays up for the next client.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

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

int connect_to(const std::string &path) {
    sockaddr_un address;
    const int fd = sim::ipc::unix_socket(path, address);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error("cannot connect to " + path + ": " + std::strerror(errno));
    }
    return fd;
}

// An answer's code and, unless ok, its message.
struct Reply {
    uint8_t code = 0xFF;
    std::string message;
};

// A client that speaks the wire protocol by hand.
class RawClient {
  public:
    explicit RawClient(const std::string &path) : channel_(connect_to(path)) {}

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

Writer request(uint8_t op) {
    Writer w;
    sim::ipc::put(w, op);
    return w;
}

Writer build_request(const sim::LeafOptions &leaf) {
    Writer w = request(static_cast<uint8_t>(sim::ipc::Op::build));
    sim::ipc::put(w, true);
    sim::ipc::put(w, leaf);
    return w;
}

constexpr uint8_t kOk = static_cast<uint8_t>(Answer::ok);
constexpr uint8_t kFailed = static_cast<uint8_t>(Answer::failed);
constexpr uint8_t kRefused = static_cast<uint8_t>(Answer::refused);

class ServedSwitch : public ::testing::Test {
  protected:
    void SetUp() override {
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
        Writer linkup = request(static_cast<uint8_t>(sim::PeerFn::netif_is_linkup));
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

struct BadRequest {
    const char *name;
    std::vector<uint8_t> payload;
    const char *message;
};

void PrintTo(const BadRequest &bad, std::ostream *os) { *os << bad.name; }

class BadRequests : public ServedSwitch, public ::testing::WithParamInterface<BadRequest> {};

// A well-framed request that cannot be read is answered "failed", and the
// same client goes on.
TEST_P(BadRequests, AreAnsweredAndTheClientKept) {
    RawClient client(socket_);
    ASSERT_EQ(client.answer()->code, kOk);
    Writer bad;
    bad.raw(GetParam().payload.data(), GetParam().payload.size());
    const Reply reply = client.ask(bad);
    EXPECT_EQ(reply.code, kFailed);
    EXPECT_THAT(reply.message, HasSubstr(GetParam().message));
    Writer empty = request(static_cast<uint8_t>(sim::ipc::Op::build));
    sim::ipc::put(empty, false);
    EXPECT_EQ(client.ask(empty).code, kOk);
}

constexpr uint8_t kBuild = static_cast<uint8_t>(sim::ipc::Op::build);
constexpr uint8_t kLinkup = static_cast<uint8_t>(sim::PeerFn::netif_is_linkup);

INSTANTIATE_TEST_SUITE_P(
    Frames, BadRequests,
    ::testing::Values(
        BadRequest{"Empty", {}, "a frame ended early"},
        BadRequest{"UnknownOp", {0xC3}, "request 195 does not exist"},
        BadRequest{"MissingArgument", {kLinkup, 1, 0}, "a frame ended early"},
        BadRequest{"LeftoverBytes", {kLinkup, 1, 0, 0, 0, 9}, "nobody asked for"},
        BadRequest{"BooleanOfSeven", {kBuild, 7}, "a boolean travelled as 7"},
        BadRequest{"UnknownChangeKind", {0x81, 99, 0, 0, 0, 0}, "change kind 99 does not exist"}),
    [](const auto &bad) { return std::string(bad.param.name); });

TEST_F(ServedSwitch, RefusesAnOverlongFrameAndDropsItsClient) {
    RawClient client(socket_);
    ASSERT_EQ(client.answer()->code, kOk);
    const uint32_t length = sim::ipc::kMaxFrame + 1;
    client.bytes(&length, sizeof length);
    const auto reply = client.answer();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->code, kFailed);
    EXPECT_THAT(reply->message, HasSubstr("is too long"));
    EXPECT_TRUE(client.dropped());
    expect_served();
    EXPECT_THAT(stop().err, HasSubstr("dropped a client: a frame of 1048577 bytes is too long"));
}

TEST_F(ServedSwitch, GoesOnAfterAClientClosesMidFrame) {
    {
        RawClient client(socket_);
        ASSERT_EQ(client.answer()->code, kOk);
        const uint8_t half[] = {100, 0, 0, 0, kLinkup, 1};
        client.bytes(half, sizeof half);
    }
    expect_served();
    const ToolRun run = stop();
    EXPECT_EQ(run.status, 0);
}

TEST_F(ServedSwitch, DropsAClientStalledMidFrame) {
    RawClient client(socket_);
    ASSERT_EQ(client.answer()->code, kOk);
    const uint8_t half[] = {100, 0, 0, 0, kLinkup, 1};
    client.bytes(half, sizeof half);
    const auto start = Clock::now();
    EXPECT_TRUE(client.dropped());
    EXPECT_LT(Clock::now() - start, kPatience);
    expect_served();
    EXPECT_THAT(stop().err,
                HasSubstr("dropped a client: the other end stalled in the middle of a frame"));
}

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

TEST_F(ServedSwitch, TurnsASecondClientAwayAndServesTheNext) {
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
    expect_served();
    const ToolRun run = stop();
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.err, HasSubstr("turned away a second client"));
    EXPECT_FALSE(std::filesystem::exists(socket_)) << "a stopped server removes its socket";
}

TEST_F(ServedSwitch, RefusesASecondServerOnItsSocket) {
    const ToolRun second = run_tool({"serve", "--socket", socket_});
    EXPECT_EQ(second.status, 3);
    EXPECT_THAT(second.err, HasSubstr("another server is listening there"));
    expect_served();
}

TEST(ServeSocketFile, ReplacesAStaleSocket) {
    const TempDir dir;
    const std::string path = dir.path("stale.sock");
    {
        // Bound and closed: the socket file a killed server leaves.
        sockaddr_un address;
        const int fd = sim::ipc::unix_socket(path, address);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        close(fd);
    }
    ToolProcess server({"serve", "--socket", path});
    ASSERT_TRUE(eventually(
        [&] {
            try {
                RawClient client(path);
                return client.answer()->code == kOk;
            } catch (const std::exception &) {
                return false;
            }
        },
        30s));
}

TEST(ServeSocketFile, NeverReplacesAnotherFile) {
    const TempDir dir;
    const std::string path = dir.file("notes.txt", "keep me\n");
    const ToolRun run = run_tool({"serve", "--socket", path});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err,
              "lcache-sim: cannot listen on " + path + ": it exists and is not a socket\n");
    std::ifstream kept(path);
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "keep me");
}

// The path given is the one used: no server of the tool's own stands in.
TEST(RunOverIpc, FailsWhenNothingListensAtItsSocket) {
    const TempDir dir;
    const std::string path = dir.path("nobody.sock");
    const ToolRun run = run_tool({"run", "--peers", "ipc", "--socket", path, "--queries", "100"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, "lcache-sim: cannot connect to " + path + ": No such file or directory\n");
    EXPECT_EQ(run.out, "");
}

// A server of the test's own, listening at a path: it greets each client
// with `greeting` (nothing when empty) and then falls silent.
class FakeServer {
  public:
    FakeServer(const std::string &path, std::vector<uint8_t> greeting) {
        sockaddr_un address;
        fd_ = sim::ipc::unix_socket(path, address);
        if (::bind(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(fd_, 4) != 0)
            throw std::runtime_error("cannot listen");
        if (greeting.empty())
            return;
        greeter_ = std::thread([this, greeting] {
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0)
                return;
            Channel channel(client);
            Writer w;
            w.raw(greeting.data(), greeting.size());
            channel.send(w);
            // Holds the link open until the client has gone.
            while (channel.receive())
                ;
        });
    }
    ~FakeServer() {
        ::shutdown(fd_, SHUT_RDWR);
        if (greeter_.joinable())
            greeter_.join();
        close(fd_);
    }

  private:
    int fd_ = -1;
    std::thread greeter_;
};

struct BadServer {
    const char *name;
    std::vector<uint8_t> greeting;
    const char *message;
};

void PrintTo(const BadServer &bad, std::ostream *os) { *os << bad.name; }

class BadServers : public ::testing::TestWithParam<BadServer> {};

TEST_P(BadServers, EndTheRunWithOneLine) {
    const TempDir dir;
    const std::string path = dir.path("fake.sock");
    const FakeServer server(path, GetParam().greeting);
    const auto start = Clock::now();
    const ToolRun run = run_tool(
        {"run", "--peers", "ipc", "--socket", path, "--ipc-timeout", "300", "--queries", "100"});
    EXPECT_LT(Clock::now() - start, kPatience);
    EXPECT_EQ(run.status, 3);
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
