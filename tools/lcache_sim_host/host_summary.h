// SPDX-License-Identifier: MIT
// The summary of `lcache-sim host`, as text or as JSON.
#pragma once

#include <string>

#include "host_run.h"

namespace lchost {

std::string summary_text(const HostResult &result);
std::string summary_json(const HostResult &result);

} // namespace lchost
