// The peers' questions to the kernel: one rtnetlink request and its answer
// each, on a request socket of their own that opens on first use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link_info.h"

namespace lcache_linux {

enum class Fetch { ok, missing, failed };

// The link `index` as the kernel describes it now.  While the bridge is
// handing a notification about that same link to the cache, the message is
// the kernel's answer and no request is made (see InHand).
Fetch fetch_link(uint32_t index, LinkInfo &out);

// Kernel ifindexes of the operational (link up) members of `master`, in
// ascending order, at most `capacity` of them; `count` gets how many.
Fetch fetch_up_members(uint32_t master, uint32_t *members, size_t capacity, size_t &count);

// Whether some VLAN-filtering bridge or bridge port carries `vid`.
Fetch fetch_vlan_present(uint16_t vid, bool &present);

// The untagged (PVID) VLAN of bridge port `index`; 0 when it has none or
// the bridge does not filter VLANs.
Fetch fetch_port_pvid(uint32_t index, uint16_t &pvid);

// Calls `on_link(const LinkInfo &)` for every link the kernel has.
Fetch for_each_link(void (*on_link)(const LinkInfo &, void *), void *data);

void close_request_socket();

// Counts the kernel round trips made since the last reset.
uint64_t round_trips();
void reset_round_trips();

// While one lives, questions about its link are answered from it.  The
// bridge makes one around each cache update it makes from a notification:
// the notification is the kernel's own statement of the link, sent after
// the change, and asking again would return the same facts.
class InHand {
  public:
    explicit InHand(const LinkInfo &link);
    ~InHand();
    InHand(const InHand &) = delete;
    InHand &operator=(const InHand &) = delete;

  private:
    const LinkInfo *previous_;
};

} // namespace lcache_linux
