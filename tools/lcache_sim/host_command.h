// SPDX-License-Identifier: MIT
// `lcache-sim host`: the same job on the Linux kernel's own interfaces.  A
// process has one set of peers, and this one links the simulation's, so the
// host run is the program lcache-sim-host, found beside this one.
#pragma once

namespace lcsim {

inline constexpr const char *kHostDescription =
    "Run the cache over the Linux kernel's interfaces in a private network namespace "
    "(lcache-sim-host; see its --help)";

// Replaces this process with lcache-sim-host and `argv` (argv[0] "host");
// returns only on failure, with the exit status, after one line on stderr.
int run_host(char **argv);

} // namespace lcsim
