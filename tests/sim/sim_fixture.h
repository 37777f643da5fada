// SPDX-License-Identifier: MIT
// A small switch with one interface of every kind, answering the peer
// functions for the duration of a test.
#pragma once

#include <gtest/gtest.h>

#include "sim/model_backend.h"
#include "sim/peer_calls.h"
#include "sim/switch.h"

// An iod and an Ethernet ifindex no interface holds.
inline constexpr uint32_t kUnknownIod = 9999;
inline constexpr sim::IfIndex kUnknownIfindex = 0x1A00FFFF;

class SimSwitchTest : public ::testing::Test {
  protected:
    SimSwitchTest() : backend(model) {
        mgmt = model.add_mgmt();
        sim::IfIndex *ports[] = {&eth1, &eth2, &eth3, &eth4, &eth5};
        for (uint32_t n = 0; n < 5; ++n)
            *ports[n] = model.add_ethernet(1, n + 1);
        po1 = model.add_port_channel(1);
        model.add_member(po1, eth5);
        model.add_member(po1, eth3);
        model.add_member(po1, eth4, false);
        for (uint16_t vlan : {10, 20, 30})
            model.add_vlan(vlan);
        model.set_primary_vlan(20, 10);
        svi = model.add_vlan_interface(10);
        model.set_switchport_mode(eth2, sim::SwitchportMode::access);
        model.set_vlan(eth2, 10);
        subif = model.add_subinterface(eth1, 100, 200);
        lo0 = model.add_loopback(0);
        null0 = model.add_null0();
        gre = model.add_tunnel(sim::IfType::gre_tunnel, 1);
        stretch = model.add_tunnel(sim::IfType::stretch_tunnel, 2);
        mpls = model.add_tunnel(sim::IfType::mpls_tunnel, 3);
        six = model.add_tunnel(sim::IfType::six_to_four_tunnel, 4);
        sim::set_active_backend(&backend);
        sim::clear_faults();
        sim::reset_call_counts();
    }
    ~SimSwitchTest() override {
        sim::set_active_backend(nullptr);
        sim::clear_faults();
    }

    uint32_t iod(sim::IfIndex ifindex) const { return model.at(ifindex).iod; }

    sim::Switch model;
    sim::ModelBackend backend;
    sim::IfIndex mgmt, eth1, eth2, eth3, eth4, eth5, po1, svi, subif, lo0, null0;
    sim::IfIndex gre, stretch, mpls, six;
};
