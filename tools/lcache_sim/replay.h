// `lcache-sim replay FILE`: a scenario, one command per line, carried out
// on a simulated switch and the cache, with a trace on standard output:
// each command echoed after "> ", what it did indented below it, and the
// cache's own traces after "| " (errors after "! ").  Addresses are shown
// as what they point at, so a scenario traces alike on every run.
//
//   # comment (kept in the trace)
//   leaf [ports=N port-channels=N members=N vlans=N first-vlan=N
//         subinterfaces=N loopbacks=N mgmt=yes|no slice=N]
//   empty
//   add ethernet M/P | mgmt N | port-channel N | vlan V | vlan-interface V |
//       subinterface IF N VLAN | loopback N | null0 | tunnel gre|stretch|mpls|6to4 N
//   remove IF
//   link IF up|down          protocol IF up|down     mtu IF N
//   mac IF xxxx.xxxx.xxxx    encap IF N              vlan IF V
//   switchport IF routed|access|trunk                switching IF on|off
//   port-mode IF N           extension IF KEY VALUE  private-data IF KEY VALUE SIZE
//   set-iod IF N             set-pi IF N             set-lif IF N
//   member add|remove|up|down CHANNEL PORT
//   vlan-bd V BD             flood-index BD FI       primary-vlan V P
//   notify                   hand the pending notifications to the cache
//   drop                     forget them, as if the messages were lost
//   init [profile=full|l2|minimal sync=M crit=M med=M low=M once=M
//         table-size=N l3-track=yes|no]
//   cleanup | disable | restore
//   query KIND TARGET        TARGET: an interface, or iod:N ifindex:N pi:N lif:N vlan:N
//   flush all|vlans OPTION | flush IF OPTION | flush vlan V OPTION
//   refresh IF
//   dump | dump entries | dump IF | dump vlan V
//
// Each change to the switch lists the notifications the switch sends about
// it ("pending"); they reach the cache only with `notify`.  A query shows
// the cache's answer, the peer's, and the peer calls the cache made.
#pragma once

#include <string>

#include "switchboard.h"

namespace lcsim {

struct ReplayOptions {
    std::string file;
    PeerMode peers = PeerMode::inproc;
    std::string socket;
};

// The exit status: 0, kExitDisagreement when an answer disagreed with the
// peer's, kExitBadInput (with "file:line: message" on standard error) for
// a line that cannot be carried out.
int replay(const ReplayOptions &options);

} // namespace lcsim
