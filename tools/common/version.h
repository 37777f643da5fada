// SPDX-License-Identifier: MIT
// The version both programs print: on --version, and in every summary so a
// run can be told apart and reproduced.
#pragma once

#include <string>

namespace tooluse {

inline constexpr const char *kVersion = LCSIM_VERSION;

inline std::string version_line(const char *program) {
    return std::string(program) + " " + kVersion;
}

} // namespace tooluse
