// SPDX-License-Identifier: MIT
#include "notification_text.h"

#include <cstdio>

namespace lcsim {
namespace {

using namespace lcache_records;

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string mac_text(const sim::Mac &m) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x.%02x%02x.%02x%02x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

// An interface gone from the model is shown by its ifindex.
std::string by_ifindex(const sim::Switch &model, sim::IfIndex ifindex) {
    if (ifindex == 0)
        return "none";
    const sim::Interface *itf = model.find(ifindex);
    return itf ? itf->name : "ifindex " + hex(ifindex);
}

std::string with_iod(const sim::Switch &model, sim::IfIndex ifindex, uint32_t iod) {
    return by_ifindex(model, ifindex) + " iod " + std::to_string(iod);
}

std::string by_iod(const sim::Switch &model, uint32_t iod) {
    const sim::Interface *itf = model.find_by_iod(iod);
    return (itf ? itf->name + " " : std::string()) + "iod " + std::to_string(iod);
}

std::string state_text(uint8_t state,
                       std::initializer_list<std::pair<uint8_t, const char *>> names) {
    for (const auto &[value, name] : names)
        if (value == state)
            return name;
    return "state " + std::to_string(state);
}

// What a notification is called, and the entry point of the cache that
// takes it: one row per kind, so the two cannot drift apart.
struct Names {
    const char *kind;
    const char *entry_point;
};

struct Naming {
    Names operator()(const sim::PhyState &) const {
        return {"phy-state", "lcache_update_phy_state"};
    }
    Names operator()(const sim::L2State &n) const {
        if (n.bundle)
            return {"l2-bundle-state", "lcache_update_l2_bundle_state"};
        return {"l2-state", "lcache_update_l2_state"};
    }
    Names operator()(const sim::L3State &n) const {
        if (n.bundle)
            return {"l3-bundle-state", "lcache_update_l3_bundle_state"};
        return {"l3-state", "lcache_update_l3_state"};
    }
    Names operator()(const sim::L3Param &) const { return {"l3-param", "lcache_update_l3_param"}; }
    Names operator()(const sim::FirstOperationalMember &) const {
        return {"agg-fop", "lcache_update_agg_fop"};
    }
    Names operator()(const sim::SwitchportChange &) const {
        return {"switchport", "lcache_update_switchport"};
    }
    Names operator()(const sim::VlanChange &) const { return {"vlan", "lcache_update_vlan"}; }
};

struct Details {
    const sim::Switch &model;

    std::string operator()(const sim::PhyState &n) const {
        return with_iod(model, n.ifindex, n.iod) + " " +
               state_text(n.state, {{kPhyUp, "up"}, {kPhyGone, "gone"}});
    }
    std::string operator()(const sim::L2State &n) const {
        std::string text = with_iod(model, n.ifindex, n.iod) + " " +
                           state_text(n.state, {{kL2NoVlan, "routed"}, {kL2Vlan, "bridged"}});
        if (n.state != kL2NoVlan)
            text += (n.native_vlan ? " native vlan " : " vlan ") + std::to_string(n.vlan);
        return text + " mac " + mac_text(n.mac) + " mtu " + std::to_string(n.mtu);
    }
    std::string operator()(const sim::L3State &n) const {
        return with_iod(model, n.ifindex, n.iod) + " " +
               state_text(n.state,
                          {{kL3Down, "down"}, {kL3Up, "up"}, {kL3BundleLinkOnly, "link-only"}}) +
               " mtu " + std::to_string(n.mtu);
    }
    std::string operator()(const sim::L3Param &n) const {
        return with_iod(model, n.ifindex, n.iod) + (n.mtu_changed ? " mtu-changed" : "");
    }
    std::string operator()(const sim::FirstOperationalMember &n) const {
        return by_ifindex(model, n.channel) + " from " + by_ifindex(model, n.old_member) + " to " +
               by_ifindex(model, n.new_member);
    }
    std::string operator()(const sim::SwitchportChange &n) const { return by_iod(model, n.iod); }
    std::string operator()(const sim::VlanChange &n) const { return by_iod(model, n.iod); }
};

} // namespace

const char *notification_kind(const sim::Notification &n) { return std::visit(Naming{}, n).kind; }

const char *entry_point(const sim::Notification &n) { return std::visit(Naming{}, n).entry_point; }

std::string notification_details(const sim::Notification &n, const sim::Switch &model) {
    return std::visit(Details{model}, n);
}

} // namespace lcsim
