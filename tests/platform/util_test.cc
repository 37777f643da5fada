// Bitsets and MAC text.
#include <array>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform_util.h"

namespace {

TEST(BitsetBits, SetAndTestAcrossWordBoundaries) {
    uint32_t words[3] = {};
    const std::set<uint32_t> set{0, 1, 31, 32, 63, 95};
    for (uint32_t bit : set)
        bitset_set_bit(words, bit);
    EXPECT_EQ((std::array{words[0], words[1], words[2]}),
              (std::array{0x80000003u, 0x80000001u, 0x80000000u}));
    for (uint32_t bit = 0; bit < 96; ++bit)
        EXPECT_EQ(bitset_is_bit_set(words, bit), set.contains(bit) ? 1u : 0u) << bit;
    bitset_set_bit(nullptr, 5);
    EXPECT_EQ(bitset_is_bit_set(nullptr, 5), 0u);
}

// Four rotating buffers: the fifth text takes the oldest buffer back.
TEST(ArpMacText, FormatsIntoFourRotatingBuffers) {
    const uint8_t macs[4][6] = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                                {0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
                                {0x0a, 0xb0, 0x0c, 0xd0, 0x01, 0x10},
                                {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}};
    const char *texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = arp_print_macaddr(macs[i]);
    EXPECT_EQ(std::string(texts[0]) + texts[1] + texts[2] + texts[3],
              "0011.2233.4455ffff.ffff.ffff0ab0.0cd0.0110dead.beef.0001");
    EXPECT_EQ(arp_print_macaddr(nullptr), texts[0]);
    EXPECT_STREQ(texts[0], "0000.0000.0000");
}

} // namespace
