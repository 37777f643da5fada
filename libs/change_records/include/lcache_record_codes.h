// SPDX-License-Identifier: MIT
// The state codes of the cache's change records, named once for every
// sender: the simulated switch and the Linux notification bridge.  Plain
// constants without the cache's header, so the simulation's notifications
// can carry them; lcache_records.h ties each to lcache.h.
#pragma once

#include <cstdint>

namespace lcache_records {

// Phy record: the link came up, or the interface is gone.
enum PhyCode : uint8_t { kPhyUp = 1, kPhyGone = 2 };

// L2 record: whether its VLAN fields are meant.
enum L2Code : uint8_t { kL2NoVlan = 0, kL2Vlan = 1 };

// L3 record.  The cache takes every code but kL3Up as down; 0 is the one a
// zeroed record says.  Only a port-channel's record says "link up, protocol
// down".
enum L3Code : uint8_t { kL3Down = 0, kL3Up = 1, kL3BundleLinkOnly = 16 };

// Protocol up without the link counts as down.
constexpr L3Code l3_code(bool linkup, bool protoup, bool bundle) {
    if (!linkup)
        return kL3Down;
    if (protoup)
        return kL3Up;
    return bundle ? kL3BundleLinkOnly : kL3Down;
}

} // namespace lcache_records
