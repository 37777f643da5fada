// SPDX-License-Identifier: MIT
// The notification bridge: the kernel's link notifications, read from a
// socket joined to RTNLGRP_LINK, become the cache's change records.
//
// A notification stores what it carries and the cache asks for nothing
// else: while its records are handed over, the peers answer questions about
// that link from the message itself.  Lost notifications cost one dump of
// every link, merged into what is cached, never a stale answer.
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "apply.h"
#include "attrs.h"
#include "bridge_state.h"
#include "held_links.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "numbering.h"
#include "snapshot.h"

using namespace lcache_linux;

namespace lcache_linux {
namespace {

BridgeState the_bridge;

} // namespace

BridgeState &bridge() { return the_bridge; }

} // namespace lcache_linux

namespace {

enum class Outcome { handled, skipped, malformed };

// A bridge's VLAN notification (family AF_BRIDGE) about a cached port: its
// VLAN is asked again when the message carries VLAN information.
Outcome handle_bridge_vlans(const nlmsghdr *message) {
    const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
    if (ifi->ifi_index <= 0)
        return Outcome::skipped;
    bool has_vlans = false;
    if (for_each_attr(message, sizeof(ifinfomsg), [&](const nlattr *attr) {
            has_vlans = has_vlans || mnl_attr_get_type(attr) == IFLA_AF_SPEC;
            return MNL_CB_OK;
        }) < 0)
        return Outcome::malformed;
    peers_forget_answers();
    // The update finds nothing (0) for an interface the cache does not hold.
    return has_vlans && lcache_update_vlan(static_cast<uint32_t>(ifi->ifi_index)) != 0
               ? Outcome::handled
               : Outcome::skipped;
}

Outcome handle(const nlmsghdr *message) {
    if (message->nlmsg_type != RTM_NEWLINK && message->nlmsg_type != RTM_DELLINK)
        return Outcome::skipped;
    if (message->nlmsg_len < mnl_nlmsg_size(sizeof(ifinfomsg)))
        return Outcome::malformed;
    const auto *ifi = static_cast<const ifinfomsg *>(mnl_nlmsg_get_payload(message));
    if (ifi->ifi_family == AF_BRIDGE)
        return handle_bridge_vlans(message);
    LinkInfo link;
    if (!parse_link(message, link))
        return Outcome::malformed;
    bool deleted = message->nlmsg_type == RTM_DELLINK;
    bool renamed = !deleted && peers_kept_other_name(link);
    peers_saw_link(link, !deleted);
    OneOperation operation;
    if (!track_bond_membership(link, deleted)) {
        // Without the record a later release could not reach the bond:
        // every entry is asked again instead.
        ++bridge().counters.allocation_failures;
        lcache_if_flush_all(kFlushEverything);
    }
    Applied applied =
        apply_link(link, deleted, renamed, bridge().synced ? Apply::create : Apply::update);
    return applied == Applied::skipped ? Outcome::skipped : Outcome::handled;
}

void count(Outcome outcome) {
    lcache_linux_counters_t &counters = bridge().counters;
    switch (outcome) {
    case Outcome::handled:
        ++counters.messages_handled;
        break;
    case Outcome::skipped:
        ++counters.messages_skipped;
        break;
    case Outcome::malformed:
        ++counters.messages_malformed;
        break;
    }
}

// Hands every message of one datagram to the cache.  False when the
// datagram could not be read whole or a message could not be understood:
// a change was lost.
bool handle_datagram(const unsigned char *data, size_t length) {
    bool understood = true;
    bool framed = for_each_message(data, length, [&](const nlmsghdr *message) {
        Outcome outcome = handle(message);
        count(outcome);
        understood = understood && outcome != Outcome::malformed;
    });
    if (!framed)
        count(Outcome::malformed);
    return framed && understood;
}

// Notifications were lost: one dump of every link is merged into what is
// cached, so only what changed is replaced.  Without the dump, the old
// answer: every entry is asked again on its next use.
void resynchronise() {
    lcache_linux_counters_t &counters = bridge().counters;
    ++counters.resyncs;
    ++counters.generation;
    Snapshot snapshot;
    if (!take_snapshot(snapshot)) {
        ++counters.resync_fallbacks;
        peers_forget_answers();
        peers_renamed_all(nullptr);
        bridge().bond_of_member.clear();
        lcache_if_flush_all(kFlushEverything);
        lcache_vlan_flush_all(kFlushEverything);
        return;
    }
    merge_snapshot(snapshot, bridge().synced ? Apply::create : Apply::update);
}

// Marks the bridge busy for one dispatch or sync, which are not re-entered
// (a trace callback may call them).
class Busy {
  public:
    Busy() { bridge().busy = true; }
    ~Busy() { bridge().busy = false; }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;
};

int dispatch_pending() {
    BridgeState &state = bridge();
    Busy busy;
    peers_forget_answers();
    int before = static_cast<int>(state.counters.messages_handled);
    bool lost = false;
    int error = 0;
    for (;;) {
        bool from_kernel = false;
        long length = state.notifications.receive(from_kernel);
        if (length == -EAGAIN || length == -EWOULDBLOCK || length == 0)
            break;
        if (length == -ENOBUFS || length == -EMSGSIZE) {
            ++state.counters.overruns;
            lost = true;
            continue;
        }
        if (length < 0) {
            error = static_cast<int>(length);
            break;
        }
        if (!from_kernel) {
            ++state.counters.messages_foreign;
            continue;
        }
        // After a loss, what is queued is read and dropped: the resync's
        // dump is newer than all of it.
        if (!lost && !handle_datagram(state.notifications.data(), static_cast<size_t>(length)))
            lost = true;
    }
    if (lost)
        resynchronise();
    return error ? error : static_cast<int>(state.counters.messages_handled) - before;
}

} // namespace

extern "C" {

int lcache_linux_open(void) {
    int error = bridge().notifications.open(RTMGRP_LINK, true);
    if (error == 0)
        peers_listen(true);
    return error;
}

int lcache_linux_fd(void) { return bridge().notifications.fd(); }

int lcache_linux_dispatch(void) {
    BridgeState &state = bridge();
    if (!state.notifications.is_open())
        return -EBADF;
    if (state.busy)
        return -EBUSY;
    return dispatch_pending();
}

int lcache_linux_sync(void) {
    BridgeState &state = bridge();
    if (state.busy)
        return -EBUSY;
    if (!lcache_enabled)
        return -ENODEV;
    // Joined before the dump: whatever changes while it runs is queued and
    // applied after it.
    if (!state.notifications.is_open()) {
        if (int error = lcache_linux_open())
            return error;
    }
    size_t interfaces;
    {
        Busy busy;
        Snapshot snapshot;
        if (!take_snapshot(snapshot))
            return -EIO;
        ++state.counters.generation;
        interfaces = merge_snapshot(snapshot, Apply::fill);
        state.synced = true;
    }
    int pending = dispatch_pending();
    return pending < 0 ? pending : static_cast<int>(interfaces);
}

void lcache_linux_close(void) {
    BridgeState &state = bridge();
    state.notifications.close();
    close_request_socket();
    state.bond_of_member.clear();
    state.synced = false;
    peers_listen(false);
}

void lcache_linux_get_counters(lcache_linux_counters_t *out) {
    if (!out)
        return;
    *out = bridge().counters;
    out->round_trips = round_trips();
    out->dump_retries = dump_retries();
}

// What clients built against 1.0 call: their record ends before resyncs.
LCACHE_LINUX_API void lcache_linux_get_counters_1_0(lcache_linux_counters_t *out);
void lcache_linux_get_counters_1_0(lcache_linux_counters_t *out) {
    if (!out)
        return;
    lcache_linux_counters_t all;
    lcache_linux_get_counters(&all);
    memcpy(out, &all, offsetof(lcache_linux_counters_t, resyncs));
}
__asm__(".symver lcache_linux_get_counters_1_0, lcache_linux_get_counters@LCACHE_LINUX_1.0");

void lcache_linux_reset_counters(void) {
    uint64_t generation = bridge().counters.generation;
    bridge().counters = lcache_linux_counters_t{};
    // The generation names the cache's view, not a count since a reset.
    bridge().counters.generation = generation;
    reset_kernel_counters();
}

} // extern "C"
