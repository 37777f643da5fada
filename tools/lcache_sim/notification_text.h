// SPDX-License-Identifier: MIT
// Notifications as a scenario's trace shows them.
#pragma once

#include <string>

#include "sim/notifier.h"

namespace lcsim {

// "l2-state", "agg-fop", ...: what the notification is.
const char *notification_kind(const sim::Notification &n);
// The cache's entry point that takes it.
const char *entry_point(const sim::Notification &n);
// Its contents, with interfaces named as `model` names them now.
std::string notification_details(const sim::Notification &n, const sim::Switch &model);

} // namespace lcsim
