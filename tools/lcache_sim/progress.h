// SPDX-License-Identifier: MIT
// A progress bar for long runs, drawn on standard error when that is a
// terminal, and only once a run has taken long enough to want one; standard
// output stays the report's.
#pragma once

#include <chrono>
#include <cstdint>

namespace lcsim {

class Progress {
  public:
    Progress(uint64_t total, bool wanted);
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;
    // Clears the bar.
    ~Progress();

    void update(uint64_t done);

  private:
    using Clock = std::chrono::steady_clock;

    uint64_t total_;
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point last_draw_;
};

} // namespace lcsim
