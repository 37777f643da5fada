// SPDX-License-Identifier: MIT
// Port-channel membership.
#include <algorithm>

#include "sim/switch.h"

namespace sim {
namespace {

const Interface &require_channel(const Interface &itf) {
    if (itf.type != IfType::port_channel)
        throw ModelError(itf.name + " is not a port-channel");
    return itf;
}

} // namespace

void Switch::add_member(IfIndex channel, IfIndex port, bool operational) {
    require_channel(at(channel));
    Interface &member = edit(port);
    if (member.type != IfType::ethernet)
        throw ModelError(member.name + " is not an Ethernet port");
    if (member.bundle != 0)
        throw ModelError(member.name + " is already a member of " + at(member.bundle).name);
    std::vector<Member> &members = edit(channel).members;
    auto pos = std::ranges::lower_bound(members, port, {}, &Member::ifindex);
    members.insert(pos, Member{port, operational});
    member.bundle = channel;
}

Member &Switch::member_of(IfIndex channel, IfIndex port) {
    require_channel(at(channel));
    std::vector<Member> &members = edit(channel).members;
    auto it = std::ranges::find(members, port, &Member::ifindex);
    if (it == members.end())
        throw ModelError(at(port).name + " is not a member of " + at(channel).name);
    return *it;
}

void Switch::remove_member(IfIndex channel, IfIndex port) {
    member_of(channel, port); // refuses a port that is not a member
    std::erase_if(edit(channel).members, [port](const Member &m) { return m.ifindex == port; });
    edit(port).bundle = 0;
}

void Switch::set_member_operational(IfIndex channel, IfIndex port, bool operational) {
    member_of(channel, port).operational = operational;
}

std::vector<IfIndex> Switch::operational_members(IfIndex channel) const {
    std::vector<IfIndex> up;
    for (const Member &member : require_channel(at(channel)).members)
        if (member.operational)
            up.push_back(member.ifindex);
    return up;
}

IfIndex Switch::first_operational_member(IfIndex channel) const {
    const std::vector<Member> &members = require_channel(at(channel)).members;
    auto it = std::ranges::find(members, true, &Member::operational);
    return it == members.end() ? 0 : it->ifindex;
}

} // namespace sim
