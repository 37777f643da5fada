// SPDX-License-Identifier: MIT
// The one agreement between the notification bridge and the peers: what
// the peers may answer from instead of asking the kernel.
//
// The peers never answer from a message older than what the bridge has
// applied.  Three sources keep that promise:
//  - held links: while a Held lives, questions about its links (and bridge
//    VLANs) are answered from them.  The bridge holds a notification while
//    it hands it to the cache, and a whole dump while it syncs from it;
//  - kept answers: while the bridge listens, what the peers fetch is kept
//    until the next dispatch, or the next message about that link, since
//    until then the cache itself knows nothing newer;
//  - names: the cache asks the interface manager for a name on every
//    question, so while the bridge listens the peers keep the name of
//    every link the bridge has seen, replaced by each of its messages and
//    dropped whole when notifications were lost.
#pragma once

#include <cstdint>

#include "kernel.h"
#include "link_info.h"

namespace lcache_linux {

class Held {
  public:
    explicit Held(const LinkInfo &link);
    // `vlans` may be null: the bridge VLANs are then asked as usual.
    Held(const LinkSet &links, const VlanSet *vlans);
    ~Held();
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;

    const LinkInfo *one() const { return one_; }
    const LinkSet *links() const { return links_; } // a dump of every link
    const VlanSet *vlans() const { return vlans_; }
    const Held *outer() const { return outer_; }

  private:
    const LinkInfo *one_;
    const LinkSet *links_;
    const VlanSet *vlans_;
    const Held *outer_;
};

// The bridge opened (true) or closed; closing forgets everything kept.
void peers_listen(bool listening);

// A dispatch begins: the kernel may have moved on, so kept answers go.
void peers_forget_answers();

// A message about `link` arrived (it names the link as it is now), or the
// link is gone (`present` false): what was kept about it goes, and its
// name is learned or forgotten.
void peers_saw_link(const LinkInfo &link, bool present);

// Whether `link` names itself otherwise than the name kept for it: a
// rename.  False when no name is kept for it (none seen, or notifications
// were lost since), since then nothing says the name changed.
bool peers_kept_other_name(const LinkInfo &link);

// A dump of every link replaces every kept name; notifications were lost
// (`links` null): no name is kept until the next dump.  False when there
// was no memory for the names (none is kept then).
bool peers_renamed_all(const LinkSet *links);

} // namespace lcache_linux
