// SPDX-License-Identifier: MIT
// The attributes an interface of each kind starts with.
#pragma once

#include <string>

#include "sim/interface.h"

namespace sim {

// A new interface of `type`: its fixed class flags, encapsulation, MTU and
// routing context.  Link and protocol start up; identifiers are left to the
// model.
Interface new_interface(IfType type, IfIndex ifindex, std::string name);

} // namespace sim
