// SPDX-License-Identifier: MIT
#include "netns.h"

#include <net/if.h>
#include <sched.h>

#include <cerrno>
#include <cstring>

#include "link_control.h"

namespace lcache_linux {

bool enter_private_netns(std::string &why) {
    if (unshare(CLONE_NEWNET) != 0) {
        why = std::string("cannot create a network namespace: ") + strerror(errno);
        return false;
    }
    LinkControl control;
    int error = control.open();
    if (error == 0)
        error = control.set_up(if_nametoindex("lo"), true);
    if (error != 0) {
        why = std::string("cannot bring up lo in the new namespace: ") + strerror(-error);
        return false;
    }
    return true;
}

} // namespace lcache_linux
