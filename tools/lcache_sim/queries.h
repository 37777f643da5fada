// SPDX-License-Identifier: MIT
// The query catalogue (query_catalogue.h) as the simulation asks it: every
// key of a simulated interface.
#pragma once

#include <cstdint>

#include "query_catalogue.h"
#include "sim/interface.h"
#include "sim/types.h"

namespace lcsim {

using querycat::Answer;
using querycat::Family;
using querycat::family_name;
using querycat::find_query;
using querycat::Key;
using querycat::key_name;
using querycat::kFamilyCount;
using querycat::kNone;
using querycat::query_kinds;
using querycat::QueryKind;
using querycat::Target;

// The VLAN the cache keeps for an interface: a VLAN interface's own (a
// sub-interface's encapsulation VLAN), a switchport's access (trunk:
// native) VLAN; 0 for the others.
uint16_t kept_vlan(const sim::Interface &itf);
// Every key of `itf`; `slice` is the switch's.
Target target_of(const sim::Interface &itf, uint16_t slice);

} // namespace lcsim
