// SPDX-License-Identifier: MIT
#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace lcsim {
namespace {

using namespace std::chrono_literals;

// A short run finishes before a bar would help; a redraw costs a write.
constexpr auto kFirstDraw = 500ms;
constexpr auto kRedraw = 100ms;
constexpr int kWidth = 40;

} // namespace

Progress::Progress(uint64_t total, bool wanted)
    : total_(total), enabled_(wanted && total > 0 && isatty(STDERR_FILENO)), start_(Clock::now()),
      last_draw_(start_) {}

Progress::~Progress() {
    if (drawn_)
        std::fputs("\r\033[K", stderr);
}

void Progress::update(uint64_t done) {
    if (!enabled_)
        return;
    const auto now = Clock::now();
    if (now - start_ < kFirstDraw || (drawn_ && now - last_draw_ < kRedraw))
        return;
    last_draw_ = now;
    drawn_ = true;
    // In floating point: done * kWidth may not fit 64 bits.
    const double part = static_cast<double>(done) / static_cast<double>(total_);
    const auto filled = static_cast<int>(part * kWidth);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%  %llu/%llu queries", filled,
                 "########################################", kWidth - filled, "",
                 static_cast<int>(part * 100), static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(total_));
}

} // namespace lcsim
