// SPDX-License-Identifier: MIT
// Bitsets as arrays of 32-bit words.
#include "platform_util.h"

namespace {

constexpr uint32_t kWordBits = 32;

uint32_t mask_of(uint32_t bit) { return UINT32_C(1) << (bit % kWordBits); }

} // namespace

extern "C" {

uint32_t bitset_is_bit_set(const uint32_t *bitset, uint32_t bit) {
    return bitset && (bitset[bit / kWordBits] & mask_of(bit)) ? 1 : 0;
}

void bitset_set_bit(uint32_t *bitset, uint32_t bit) {
    if (bitset)
        bitset[bit / kWordBits] |= mask_of(bit);
}

} // extern "C"
