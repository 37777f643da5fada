// SPDX-License-Identifier: MIT
// The exit statuses of lcache-sim and lcache-sim-host, one convention for
// both, so a script reads either program's outcome the same way.
#pragma once

namespace tooluse {

inline constexpr int kExitOk = 0;
// An answer disagreed, a check failed, the run could not be completed (a
// server gone, a change the kernel refused), or the output could not be
// written.
inline constexpr int kExitFailed = 1;
// The command line was wrong (one line on standard error names the word),
// or a scenario line was; also a host that cannot give the program what it
// needs (no private network namespace).
inline constexpr int kExitMisuse = 2;

} // namespace tooluse
