// SPDX-License-Identifier: MIT
// Change notifications: raw records made of input bytes, and the records
// the simulated switch sends about a change to its model (some of which
// may be lost on the way).
#include <cstddef>
#include <cstring>

#include "fuzz_state.h"
#include "sim/lcache_delivery.h"

namespace lcfuzz {

namespace {

// A record of input bytes in a buffer of exactly its size, at an address
// that may be misaligned: the cache must read it field by field.
template <class Record> class RawRecord {
  public:
    explicit RawRecord(State &s) : at_(s.in.flag()), buf_(s.in.bytes(at_ + sizeof(Record))) {}

    Record *get() { return reinterpret_cast<Record *>(buf_.data() + at_); }

    // Overwrites the field at `offset` with `value`, in the given order.
    void put(size_t offset, uint32_t value, bool big_endian = false) {
        uint8_t bytes[4];
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<uint8_t>(value >> (big_endian ? 24 - 8 * i : 8 * i));
        memcpy(buf_.data() + at_ + offset, bytes, sizeof bytes);
    }

  private:
    size_t at_;
    std::vector<uint8_t> buf_;
};

// Raw bytes, or raw bytes with the keys of a model interface or a cached
// entry put in.
template <class Record> RawRecord<Record> keyed_record(State &s) {
    RawRecord<Record> r(s);
    if (s.in.flag()) {
        r.put(offsetof(Record, if_index), s.ifindex());
        r.put(offsetof(Record, iod), s.iod());
    }
    return r;
}

void phy_record(State &s) { lcache_update_phy_state(keyed_record<lcache_state_msg_t>(s).get()); }
void l2_record(State &s) { lcache_update_l2_state(keyed_record<lcache_l2_msg_t>(s).get()); }
void l3_record(State &s) { lcache_update_l3_state(keyed_record<lcache_l3_msg_t>(s).get()); }
void l2_bundle_record(State &s) {
    lcache_update_l2_bundle_state(keyed_record<lcache_l2_msg_t>(s).get());
}
void l3_bundle_record(State &s) {
    lcache_update_l3_bundle_state(keyed_record<lcache_l3_msg_t>(s).get());
}

void l3_param_record(State &s) {
    RawRecord<lcache_state_msg_t> r = keyed_record<lcache_state_msg_t>(s);
    uint32_t changes = s.in.u32();
    lcache_update_l3_param(r.get(), s.in.flag() ? &changes : nullptr);
}

void fop_record(State &s) {
    RawRecord<lcache_agg_fop_msg_t> r(s);
    if (s.in.flag()) {
        r.put(offsetof(lcache_agg_fop_msg_t, if_index), s.ifindex(), true);
        r.put(offsetof(lcache_agg_fop_msg_t, old_fop), s.in.flag() ? 0 : s.ifindex(), true);
        r.put(offsetof(lcache_agg_fop_msg_t, new_fop), s.in.flag() ? 0 : s.ifindex(), true);
    }
    lcache_update_agg_fop(r.get());
}

void switchport_update(State &s) { lcache_update_switchport(s.iod()); }
void vlan_update(State &s) { lcache_update_vlan(s.iod()); }

// Hands the cache what the switch sent, each notification kept when its
// bit in an input mask is set (all of them most of the time), as one
// operation of the cache as sim::deliver_all does.
void deliver(State &s, const sim::Notifications &sent) {
    const uint8_t kept = s.in.flag() ? 0xFF : s.in.u8();
    lcache_watch_begin();
    for (size_t i = 0; i < sent.size(); ++i)
        if (kept & (1u << (i % 8)))
            sim::deliver(sent[i]);
    lcache_watch_end();
}

sim::IfIndex channel(State &s) {
    for (const auto &[ifindex, itf] : s.model.interfaces())
        if (itf.type == sim::IfType::port_channel && s.in.flag())
            return ifindex;
    return s.ifindex();
}

sim::Mac mac_of(State &s) {
    sim::Mac mac;
    const std::vector<uint8_t> raw = s.in.bytes(mac.size());
    std::copy(raw.begin(), raw.end(), mac.begin());
    return mac;
}

sim::SwitchportMode switchport_mode(State &s) {
    return static_cast<sim::SwitchportMode>(s.in.below(3));
}

sim::Notifications notified_change(State &s) {
    sim::Notifier &n = s.notifier;
    switch (s.in.below(10)) {
    case 0: return n.set_link(s.ifindex(), s.in.flag());
    case 1: return n.set_protocol(s.ifindex(), s.in.flag());
    case 2: return n.set_mtu(s.ifindex(), s.in.u16());
    case 3: return n.set_mac(s.ifindex(), mac_of(s));
    case 4: return n.set_vlan(s.ifindex(), s.vlan());
    case 5: return n.set_switchport_mode(s.ifindex(), switchport_mode(s));
    case 6: return n.add_member(channel(s), s.ifindex(), s.in.flag());
    case 7: return n.remove_member(channel(s), s.ifindex());
    case 8: return n.set_member_operational(channel(s), s.ifindex(), s.in.flag());
    default: return n.remove_interface(s.ifindex());
    }
}

void notified_model_change(State &s) { deliver(s, notified_change(s)); }

// An interface the switch just created, announced.
void announced_interface(State &s) {
    sim::Switch &m = s.model;
    sim::IfIndex added = 0;
    switch (s.in.below(4)) {
    case 0: added = m.add_ethernet(s.in.below(4) + 1, s.in.below(64) + 1); break;
    case 1: added = m.add_port_channel(s.in.below(64) + 1); break;
    case 2: added = m.add_vlan_interface(s.vlan()); break;
    default: added = m.add_subinterface(s.ifindex(), s.in.below(64) + 1, s.vlan()); break;
    }
    deliver(s, s.notifier.added(added));
}

constexpr OpDesc kOps[] = {
    {"phy_record", phy_record},
    {"l2_record", l2_record},
    {"l3_record", l3_record},
    {"l3_param_record", l3_param_record},
    {"l2_bundle_record", l2_bundle_record},
    {"l3_bundle_record", l3_bundle_record},
    {"fop_record", fop_record},
    {"switchport_update", switchport_update},
    {"vlan_update", vlan_update},
    {"notified_model_change", notified_model_change},
    {"announced_interface", announced_interface},
};

} // namespace

std::span<const OpDesc> notify_ops() { return kOps; }

} // namespace lcfuzz
