// SPDX-License-Identifier: MIT
// The peer services answered from a sim::Switch.
#pragma once

#include <map>
#include <optional>
#include <type_traits>

#include "sim/peer_backend.h"
#include "sim/switch.h"

namespace sim {

// The process-wide model behind the default backend.
Switch &default_switch();

class ModelBackend : public PeerBackend {
  public:
    explicit ModelBackend(const Switch &model) : model_(model) {}

    SIM_PEER_OVERRIDES

  private:
    // A field of the interface with `iod`; T{} (false, 0) when there is none.
    template <class T> T field(uint32_t iod, T Interface::*member) const {
        const Interface *itf = model_.find_by_iod(iod);
        return itf ? itf->*member : T{};
    }
    // The value under `key` in one of the interface's maps; V{} when the
    // interface or the key is missing.
    template <class V>
    V keyed(uint32_t iod, std::map<uint32_t, V> Interface::*map, uint32_t key) const {
        const Interface *itf = model_.find_by_iod(iod);
        if (!itf)
            return V{};
        auto it = (itf->*map).find(key);
        return it == (itf->*map).end() ? V{} : it->second;
    }
    // A field of `itf` as a reply: no_interface without an interface,
    // not_applicable when the field holds `none`.
    template <class T>
    static Reply<T> answer(const Interface *itf, T Interface::*member,
                           std::optional<std::type_identity_t<T>> none = std::nullopt) {
        if (!itf)
            return {status::no_interface};
        if (none && itf->*member == *none)
            return {status::not_applicable};
        return {status::ok, itf->*member};
    }
    // The failure of `found`, or `make` applied to what it found.
    template <class T, class Make>
    static auto from(const Reply<T> &found, Make make) -> Reply<decltype(make(found.value))> {
        if (!found.ok())
            return {found.status};
        return {status::ok, make(found.value)};
    }
    bool has_type(uint32_t iod, IfType type) const;
    Reply<const Vlan *> lookup_vlan(VlanKey key) const;
    Reply<const Interface *> channel(IfIndex ifindex) const;

    const Switch &model_;
};

} // namespace sim
