// SPDX-License-Identifier: MIT
// Message framing: every length a datagram claims is checked before the
// message is handed over, and nothing past a bad length ever is.
#include <gtest/gtest.h>
#include <linux/netlink.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "netlink_socket.h"

namespace {

// A message of `payload` bytes tagged with sequence number `tag`, whose
// header claims `claimed` bytes (its true length when negative).
struct Piece {
    uint32_t tag;
    uint32_t payload;
    int64_t claimed = -1;
};

std::vector<unsigned char> datagram(std::initializer_list<Piece> pieces, size_t trailing = 0) {
    std::vector<unsigned char> bytes;
    for (const Piece &piece : pieces) {
        nlmsghdr header{};
        header.nlmsg_len =
            piece.claimed < 0 ? NLMSG_LENGTH(piece.payload) : static_cast<uint32_t>(piece.claimed);
        header.nlmsg_seq = piece.tag;
        size_t at = bytes.size();
        bytes.resize(at + NLMSG_SPACE(piece.payload));
        memcpy(bytes.data() + at, &header, sizeof header);
    }
    bytes.resize(bytes.size() + trailing);
    return bytes;
}

struct FramingCase {
    const char *name;
    std::vector<unsigned char> bytes;
    bool framed;
    std::vector<uint32_t> handed; // tags, in order
};

// A bad length follows a good message, so each row also shows that the
// good one went over and nothing after it did.
const FramingCase kCases[] = {
    {"OneMessage", datagram({{1, 4}}), true, {1}},
    {"TwoMessages", datagram({{1, 4}, {2, 8}}), true, {1, 2}},
    {"LastMessageWithoutItsPadding",
     [] {
         auto bytes = datagram({{1, 4}, {2, 1}});
         bytes.resize(bytes.size() - 3);
         return bytes;
     }(),
     true,
     {1, 2}},
    {"LengthZero", datagram({{1, 4}, {2, 4, 0}, {3, 4}}), false, {1}},
    {"ShorterThanAHeader", datagram({{1, 4}, {2, 4, sizeof(nlmsghdr) - 1}, {3, 4}}), false, {1}},
    {"LongerThanTheDatagram", datagram({{1, 4}, {2, 4, NLMSG_LENGTH(4) + 4}}), false, {1}},
    {"AlmostFourGigabytes", datagram({{1, 4}, {2, 4, 0xFFFFFFF0}, {3, 4}}), false, {1}},
    {"AllOnes", datagram({{1, 4}, {2, 4, 0xFFFFFFFF}, {3, 4}}), false, {1}},
    {"TrailingBytesShorterThanAHeader", datagram({{1, 4}}, sizeof(nlmsghdr) - 4), false, {1}},
    {"OnlyBytesShorterThanAHeader", datagram({}, sizeof(nlmsghdr) - 1), false, {}},
};

void PrintTo(const FramingCase &tc, std::ostream *os) { *os << tc.name; }

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, HandsOverExactlyTheMessagesBeforeABadLength) {
    const FramingCase &tc = GetParam();
    std::vector<uint32_t> handed;
    // Bounded, so that a framing that never advances fails instead of
    // hanging.
    auto record = [&](const nlmsghdr *message) {
        if (handed.size() < 8)
            handed.push_back(message->nlmsg_seq);
    };
    bool framed = lcache_linux::for_each_message(tc.bytes.data(), tc.bytes.size(), record);
    EXPECT_EQ(framed, tc.framed);
    EXPECT_EQ(handed, tc.handed);
}

INSTANTIATE_TEST_SUITE_P(Datagrams, Framing, ::testing::ValuesIn(kCases),
                         [](const auto &param_info) { return std::string(param_info.param.name); });

} // namespace
