// SPDX-License-Identifier: MIT
// The request socket under the peers and LinkControl: whatever a request
// leaves unread, or the kernel refuses, or another process sends, the next
// request on the same socket reads the kernel's answer to it.
#include <cerrno>
#include <cstring>
#include <string>

#include "host_fixture.h"
#include "netlink_by_hand.h"
#include "link_info.h"

namespace hosttest {
namespace {

using lcache_linux::NetlinkSocket;

constexpr int kPairs = 12;
constexpr uint32_t kMissing = 0x7FFFFFF0;

enum class Target { every_link, missing_link, probed_link };

// What the first request asks, and what it must answer.
struct FirstRequest {
    const char *name;
    Target target;
    uint16_t flags;
    int result;
    size_t handed;
};

// clang-format off
const FirstRequest kFirst[] = {
    // The callback wants no more after the first message of many datagrams.
    {"DumpStoppedAfterItsFirstMessage", Target::every_link, NLM_F_DUMP, 0, 1},
    {"RefusedRequest", Target::missing_link, 0, -ENODEV, 0},
    // The answer comes with an acknowledgement in a datagram of its own.
    {"AcknowledgedRequest", Target::probed_link, NLM_F_ACK, 0, 1},
};
// clang-format on

// The link's name in the answers to a RTM_GETLINK of `index`, with how many
// messages came and the request's result.
struct Answer {
    int result = 0;
    size_t messages = 0;
    std::string name;
};

Answer ask_link(NetlinkSocket &socket, uint32_t index) {
    Answer answer;
    GetLink get(index, 0);
    answer.result = socket.transact(get.request(), [&](const nlmsghdr *message) {
        ++answer.messages;
        lcache_linux::LinkInfo link;
        if (lcache_linux::parse_link(message, link) && link.index == index)
            answer.name = link.name;
        return MNL_CB_OK;
    });
    return answer;
}

TEST_F(HostTest, WhatARequestLeavesBehindNeverAnswersTheNext) {
    for (int i = 0; i < kPairs; ++i)
        ASSERT_EQ(control.add_veth("near" + std::to_string(i), "far" + std::to_string(i)), 0);
    const std::string probed_name = "near" + std::to_string(kPairs - 1);
    const uint32_t probed = if_nametoindex(probed_name.c_str());
    ASSERT_NE(probed, 0u);

    NetlinkSocket counting;
    ASSERT_EQ(counting.open(0, false), 0);
    size_t dumped = 0;
    auto count_bytes = [&](const nlmsghdr *message) {
        dumped += message->nlmsg_len;
        return MNL_CB_OK;
    };
    GetLink every(0, NLM_F_DUMP);
    ASSERT_EQ(counting.transact(every.request(), count_bytes), 0);
    ASSERT_GT(dumped, 32768u) << "the dump would fit one datagram; it must span several";

    for (const FirstRequest &first : kFirst) {
        SCOPED_TRACE(first.name);
        NetlinkSocket socket;
        ASSERT_EQ(socket.open(0, false), 0);
        const uint32_t index = first.target == Target::every_link     ? 0
                               : first.target == Target::missing_link ? kMissing
                                                                      : probed;
        GetLink get(index, first.flags);
        size_t handed = 0;
        auto take_first_only = [&](const nlmsghdr *) {
            ++handed;
            return (first.flags & NLM_F_DUMP) ? MNL_CB_STOP : MNL_CB_OK;
        };
        EXPECT_EQ(socket.transact(get.request(), take_first_only), first.result);
        EXPECT_EQ(handed, first.handed);

        Answer next = ask_link(socket, probed);
        EXPECT_EQ(next.result, 0);
        EXPECT_EQ(next.messages, 1u);
        EXPECT_EQ(next.name, probed_name);
    }
}

// Another process that guesses the port and the next sequence number
// cannot answer in the kernel's place.
TEST_F(HostTest, AnAnswerFromAnotherSenderIsNeverTaken) {
    ASSERT_EQ(control.add_veth("near0", "far0"), 0);
    const uint32_t probed = if_nametoindex("near0");
    NetlinkSocket socket;
    ASSERT_EQ(socket.open(0, false), 0);
    std::vector<unsigned char> forged = kernel_message(if_nametoindex("lo"));
    ASSERT_FALSE(forged.empty());
    auto *header = reinterpret_cast<nlmsghdr *>(forged.data());
    header->nlmsg_seq = 1; // the socket's first request
    header->nlmsg_pid = port_of(socket.fd());
    Forger forger;
    ASSERT_TRUE(forger.bound()) << strerror(errno);
    ASSERT_TRUE(forger.send(forged, header->nlmsg_pid, 0)) << strerror(errno);

    Answer answer = ask_link(socket, probed);
    EXPECT_EQ(answer.result, 0);
    EXPECT_EQ(answer.messages, 1u);
    EXPECT_EQ(answer.name, "near0");
}

} // namespace
} // namespace hosttest
