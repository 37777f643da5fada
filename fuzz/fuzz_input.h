// SPDX-License-Identifier: MIT
// The fuzzer's input, read front to back: an operation code, then that
// operation's arguments.  Reading past the end yields zeros, so every
// input is a complete program.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lcfuzz {

class Input {
  public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }

    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() { return u16() | static_cast<uint32_t>(u16()) << 16; }
    bool flag() { return u8() & 1; }
    // A value in [0, n); n > 0.
    uint32_t below(uint32_t n) { return n <= 256 ? u8() % n : u32() % n; }

    // Exactly `n` bytes: what is left of the input, then zeros.
    std::vector<uint8_t> bytes(size_t n) {
        std::vector<uint8_t> out(n);
        const size_t take = pos_ < size_ ? std::min(n, size_ - pos_) : 0;
        if (take)
            memcpy(out.data(), data_ + pos_, take);
        pos_ += take;
        return out;
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace lcfuzz
