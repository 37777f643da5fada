#include "host_world.h"

#include <net/if.h>

#include <cstring>

#include "netns.h"

namespace lchost {

std::string near_name(uint32_t i) { return "eth" + std::to_string(i); }
std::string peer_name(uint32_t i) { return "peer" + std::to_string(i); }

namespace {

std::string failure(const char *what, int error) {
    return std::string(what) + ": " + std::strerror(-error);
}

} // namespace

int World::make_pair(uint32_t i) {
    Pair &p = pairs_[i];
    if (int error = control_.add_veth(near_name(i), peer_name(i)))
        return error;
    p = Pair{if_nametoindex(near_name(i).c_str()), if_nametoindex(peer_name(i).c_str())};
    p.bridged = i % 4 == 0;
    if (p.bridged)
        if (int error = control_.set_master(p.near, bridge_))
            return error;
    if (int error = control_.set_up(p.near, true))
        return error;
    return control_.set_up(p.peer, true);
}

bool World::build(uint32_t pairs, std::string &why) {
    if (!lcache_linux::enter_private_netns(why))
        return false;
    if (int error = control_.open())
        return why = failure("cannot open a netlink socket", error), false;
    if (int error = control_.add_bridge("br0"))
        return why = failure("cannot create the bridge", error), false;
    bridge_ = if_nametoindex("br0");
    if (int error = control_.set_up(bridge_, true))
        return why = failure("cannot bring the bridge up", error), false;
    pairs_.resize(pairs);
    for (uint32_t i = 0; i < pairs; ++i)
        if (int error = make_pair(i))
            return why = failure(("cannot create " + near_name(i)).c_str(), error), false;
    return true;
}

int World::recreate(uint32_t i) {
    if (int error = control_.remove(pairs_[i].near))
        return error;
    return make_pair(i);
}

} // namespace lchost
