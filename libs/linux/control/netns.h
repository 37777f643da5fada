// SPDX-License-Identifier: MIT
// A private network namespace for a test, a benchmark or the host job.
#pragma once

#include <string>

namespace lcache_linux {

// Moves the calling process into a new, empty network namespace and brings
// its loopback up.  False with the reason in `why` when it cannot.
bool enter_private_netns(std::string &why);

} // namespace lcache_linux
