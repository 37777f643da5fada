// SPDX-License-Identifier: MIT
// Peer failures at every entry point.  Each probe is one entry point on a
// small switch, cold (nothing cached) or warm (its interfaces cached and
// flushed, so every kept attribute is fetched again); the fault is armed
// after the warm-up and hits every call of its function.  Status functions
// fail with 99 (an absent peer) and another status; value functions answer
// 0 (a name function NULL).
#include <arpa/inet.h>
#include <map>
#include <string>

#include "invariants.h"
#include "lcache_fixture.h"
#include "sim/peer_calls.h"
#include "sim/status.h"

namespace {

using sim::PeerFn;

struct Keys {
    sim::IfIndex access, channel, vlan_if, subif;
    uint32_t access_iod, access_pi, access_lif, vlan_if_iod;
};

enum class Start { cold, warm };

struct Probe {
    Start start;
    uint32_t sync; // the attribute block's sync_mask
    uint64_t (*run)(const Keys &k);
};

constexpr uint32_t kAll = lctest::kSyncAll;
constexpr uint16_t kVlan = 10;

uint32_t translate(uint32_t (*fn)(uint32_t, uint32_t *), uint32_t key) {
    uint32_t out = 0;
    return fn(key, &out);
}

lcache_if_entry_t *created(sim::IfIndex ifindex) {
    return lcache_if_create_entry_by_if(ifindex, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF);
}

// A field of the interface's entry, or kNoEntry when none can be had.
constexpr uint64_t kNoEntry = uint64_t{1} << 40;
uint64_t cached(sim::IfIndex ifindex, uint32_t lcache_if_entry_t::*field) {
    const lcache_if_entry_t *e = created(ifindex);
    return e ? e->*field : kNoEntry;
}

uint64_t dirty_bit(sim::IfIndex ifindex, uint32_t bit) {
    const uint64_t dirty = cached(ifindex, &lcache_if_entry_t::dirty);
    return dirty == kNoEntry ? dirty : dirty & bit;
}

// The VLAN as the switch's slice 1 knows it.
constexpr vlan_key_t kVlanKey{1, kVlan};

// clang-format off
const std::map<std::string, Probe> kProbes = {
    {"create by iod", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return lcache_if_create_entry_by_iod(k.access_iod) != nullptr; }}},
    {"create by pi", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return lcache_if_create_entry_by_pi(k.access_pi) != nullptr; }}},
    {"create by lif", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return lcache_if_create_entry_by_lif(k.access_lif) != nullptr; }}},
    {"created pi", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return cached(k.access, &lcache_if_entry_t::pi); }}},
    {"created lif", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return cached(k.access, &lcache_if_entry_t::lif); }}},
    {"refresh", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_if_update_if(k.access); }}},
    {"mtu bit after refresh", {Start::warm, kAll, [](const Keys &k) { lcache_if_update_if(k.access); return dirty_bit(k.access, LCACHE_ATTR_MTU); }}},
    {"context bit after refresh", {Start::warm, kAll, [](const Keys &k) { lcache_if_update_if(k.access); return dirty_bit(k.access, LCACHE_ATTR_CONTEXT); }}},
    {"subif parent", {Start::warm, kAll, [](const Keys &k) -> uint64_t { lcache_if_update_if(k.subif); return cached(k.subif, &lcache_if_entry_t::agg_if); }}},
    {"ifindex from iod", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_netif_get_ifindex_frm_iod, k.access_iod); }}},
    {"ifindex from iod, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_netif_get_ifindex_frm_iod, k.access_iod); }}},
    {"iod from ifindex", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_netif_get_iod_frm_ifindex, k.access); }}},
    {"ifindex from si", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_dmap_lib_si_to_ifidx, k.access_pi); }}},
    {"ifindex from si, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_dmap_lib_si_to_ifidx, k.access_pi); }}},
    {"di from ifindex, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_dmap_lib_ifidx_to_di, k.access); }}},
    {"ifindex from lif", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_lifsvc_query_lif_to_ifindex, k.access_lif); }}},
    {"ifindex from lif, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_lifsvc_query_lif_to_ifindex, k.access_lif); }}},
    {"member by hash 1", {Start::warm, kAll, [](const Keys &k) -> uint64_t { uint32_t m = 0; return lcache_agg_get_pc_mbr_ifidx_from_rbh(k.channel, 1, &m); }}},
    {"member by hash 0, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { uint32_t m = 0; return lcache_agg_get_pc_mbr_ifidx_from_rbh(k.channel, 0, &m); }}},
    {"first member, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return translate(lcache_agg_get_fop, k.channel); }}},
    {"port mode, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { uint32_t m = 7; return lcache_phyport_gldb_get_ifindex_port_mode(k.access, &m) + m; }}},
    {"port mode, not kept", {Start::cold, kAll & ~LCACHE_ATTR_IPS, [](const Keys &k) -> uint64_t { return translate(lcache_phyport_gldb_get_ifindex_port_mode, k.access); }}},
    {"l2 info", {Start::cold, kAll, [](const Keys &k) -> uint64_t { uint32_t a = 0, b = 0, c, d, e, f, g; uint16_t h; return lcache_get_if_l2_info_by_pi(k.access_pi, &a, &b, &c, &h, &d, &e, &f, &g); }}},
    {"linkup", {Start::cold, kAll, [](const Keys &k) -> uint64_t { return lcache_netif_is_linkup(k.access_iod); }}},
    {"linkup, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_netif_is_linkup(k.access_iod); }}},
    {"mtu, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_netif_get_if_mtu(k.access_iod); }}},
    {"encap bit after query", {Start::warm, kAll, [](const Keys &k) -> uint64_t { lcache_netif_get_if_encaptype(k.access_iod); return dirty_bit(k.access, LCACHE_ATTR_ENCAP); }}},
    {"mac, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { const uint8_t *m = lcache_netif_get_if_mac_addr(k.access_iod); return m[0] | m[1] | m[2] | m[3] | m[4] | m[5]; }}},
    {"vlan id of a VLAN interface, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_netif_get_if_vlanid(k.vlan_if_iod); }}},
    {"vlan info, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { netif_vlan_info_t i{}; uint32_t w; return lcache_netif_get_vlan_info(k.access_iod, &i, &w) * 100 + i.vlan + i.slice; }}},
    {"extension, dirty", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_netif_get_extension(k.access_iod, 1); }}},
    {"name of an unknown iod", {Start::cold, kAll, [](const Keys &) -> uint64_t { return lcache_netif_get_if_name(999) != nullptr; }}},
    {"phy up", {Start::cold, kAll, [](const Keys &k) -> uint64_t { lcache_state_msg_t m{}; m.iod = k.access_iod; m.state = 1; return lcache_update_phy_state(&m); }}},
    {"l2 state", {Start::warm, kAll, [](const Keys &k) -> uint64_t { lcache_l2_msg_t m{}; m.if_index = k.access; m.iod = k.access_iod; return static_cast<uint32_t>(lcache_update_l2_state(&m)); }}},
    {"l3 state without iod", {Start::warm, kAll, [](const Keys &k) -> uint64_t { lcache_l3_msg_t m{}; m.if_index = k.access; m.state = 1; return static_cast<uint32_t>(lcache_update_l3_state(&m)); }}},
    {"switchport update", {Start::warm, kAll, [](const Keys &k) -> uint64_t { return lcache_update_switchport(k.access_iod); }}},
    {"first member from 0", {Start::cold, kAll, [](const Keys &k) -> uint64_t { lcache_agg_fop_msg_t m{}; m.if_index = htonl(k.channel); m.new_fop = htonl(k.access); return lcache_update_agg_fop(&m); }}},
    {"bridge domain", {Start::cold, kAll, [](const Keys &) -> uint64_t { uint16_t bd = 9; return lcache_vlan_get_bd(kVlanKey, &bd) + bd; }}},
    {"bridge domain, not kept", {Start::cold, kAll & ~LCACHE_ATTR_BD, [](const Keys &) -> uint64_t { uint16_t bd; return lcache_vlan_get_bd(kVlanKey, &bd); }}},
    {"private vlan", {Start::cold, kAll, [](const Keys &) -> uint64_t { uint32_t p; return lcache_pvlan_get_pvlan(kVlan, &p); }}},
    {"private vlan, not kept", {Start::cold, kAll & ~LCACHE_ATTR_PVLAN, [](const Keys &) -> uint64_t { uint32_t p; return lcache_pvlan_get_pvlan(kVlan, &p); }}},
    {"flood index", {Start::cold, kAll, [](const Keys &) -> uint64_t { uint32_t di; uint16_t bd; return lcache_vlan_to_flood_di(kVlan, &di, &bd); }}},
    {"flood index, not kept", {Start::cold, kAll & ~LCACHE_ATTR_FINDEX, [](const Keys &) -> uint64_t { uint32_t di; uint16_t bd; return lcache_vlan_to_flood_di(kVlan, &di, &bd); }}},
    {"dump", {Start::warm, kAll, [](const Keys &) -> uint64_t { lcache_if_dump(); lcache_dump(); lcache_vlan_dump(); return 0; }}},
};
// clang-format on

// The probe's result is the injected status itself.
constexpr uint64_t kTheStatus = ~uint64_t{0};

struct Expected {
    PeerFn fn;
    const char *probe;
    uint64_t result;
};

// clang-format off
// What a failed status call leads to.
const Expected kStatusResults[] = {
    {PeerFn::if_index_get_type, "created pi", kNoEntry},             // invalid ifindex: no entry
    {PeerFn::if_index_get_type, "refresh", 0},                       // nothing refreshed
    {PeerFn::if_index_get_type, "ifindex from iod, dirty", LCACHE_ERR_IOD_REFRESH},
    {PeerFn::if_index_get_type, "ifindex from si, dirty", LCACHE_ERR_PI_REFRESH},
    {PeerFn::if_index_get_type, "ifindex from lif, dirty", LCACHE_ERR_LIF_REFRESH},
    {PeerFn::if_index_get_type, "l2 state", kTheStatus},
    {PeerFn::if_index_get_type, "l3 state without iod", kTheStatus},
    {PeerFn::netif_get_iod_frm_ifindex, "created pi", kNoEntry},
    {PeerFn::netif_get_iod_frm_ifindex, "iod from ifindex", kTheStatus},   // passed through
    {PeerFn::netif_get_iod_frm_ifindex, "ifindex from iod, dirty", LCACHE_ERR_IOD_REFRESH},
    {PeerFn::netif_get_iod_frm_ifindex, "l3 state without iod", kTheStatus},
    {PeerFn::netif_get_ifindex_frm_iod, "create by iod", 0},
    {PeerFn::netif_get_ifindex_frm_iod, "ifindex from iod", kTheStatus},
    {PeerFn::netif_get_ifindex_frm_iod, "linkup", 1},                // the peer's own answer
    {PeerFn::netif_get_ifindex_frm_iod, "phy up", 1},                // whatever creation yields
    {PeerFn::dmap_lib_si_to_ifidx, "create by pi", 0},
    {PeerFn::dmap_lib_si_to_ifidx, "ifindex from si", kTheStatus},
    {PeerFn::dmap_lib_si_to_ifidx, "l2 info", LCACHE_ERR_PI_REFRESH},
    {PeerFn::dmap_lib_ifidx_to_di, "created pi", LCACHE_NO_PI},      // same as having none
    {PeerFn::dmap_lib_ifidx_to_di, "di from ifindex, dirty", 0},
    {PeerFn::lifsvc_query_ifindex_to_lif, "created lif", LCACHE_NO_LIF},
    {PeerFn::lifsvc_query_lif_to_ifindex, "create by lif", 0},
    {PeerFn::lifsvc_query_lif_to_ifindex, "ifindex from lif", kTheStatus},
    {PeerFn::agg_get_pc_mbr_ifidx_from_rbh, "member by hash 1", kTheStatus},
    {PeerFn::agg_get_pc_mbr_ifidx_from_rbh, "member by hash 0, dirty", kTheStatus},
    {PeerFn::agg_get_pc_info, "first member, dirty", kTheStatus},
    {PeerFn::agg_get_pc_info, "first member from 0", 1},
    {PeerFn::netif_get_ifindex_port_mode_list, "port mode, dirty", 0},  // status not looked at: mode 0
    {PeerFn::netif_get_ifindex_port_mode_list, "port mode, not kept", kTheStatus},
    {PeerFn::netif_get_if_src_mac_addr, "mac, dirty", 0},            // the zeroed buffer
    {PeerFn::vlan_get_bd, "bridge domain", kVlan},  // 0, with the bd the primary-VLAN query stored
    {PeerFn::vlan_get_bd, "bridge domain, not kept", kTheStatus},
    {PeerFn::vlan_get_bd_and_primary_vlan, "private vlan", 0},       // always 0
    {PeerFn::vlan_get_bd_and_primary_vlan, "private vlan, not kept", 0},
    {PeerFn::dmap_lib_bd_to_di, "flood index", 0},
    {PeerFn::dmap_lib_bd_to_di, "flood index, not kept", kTheStatus},
};

// What a value function answering 0 (a name function NULL) leads to.
const Expected kZeroResults[] = {
    {PeerFn::netif_get_if_mtu, "mtu bit after refresh", LCACHE_ATTR_MTU},  // 0 is not available yet
    {PeerFn::netif_get_if_mtu, "mtu, dirty", 0},                           // the query takes it
    {PeerFn::netif_get_if_encaptype, "encap bit after query", LCACHE_ATTR_ENCAP},
    {PeerFn::rtctx_if_get_context_id, "context bit after refresh", LCACHE_ATTR_CONTEXT},
    {PeerFn::netif_is_linkup, "linkup, dirty", 0},
    {PeerFn::netif_get_extension, "extension, dirty", 0},
    {PeerFn::netif_get_sub_interface_parent, "subif parent", 0},
    {PeerFn::netif_is_vlan, "vlan id of a VLAN interface, dirty", kVlan},  // keeps its value
    {PeerFn::netif_get_vlan_info, "vlan info, dirty", 100 + 0 + 1},      // 1, VLAN 0, slice 1
    {PeerFn::hostctl_slice_get, "vlan info, dirty", 100 + kVlan + 0},
    {PeerFn::netif_get_if_name, "name of an unknown iod", 0},
    {PeerFn::netif_get_if_name, "switchport update", 1},
};
// clang-format on

class FaultMatrix : public lctest::LcacheSimTest {
  protected:
    FaultMatrix() {
        model.add_vlan(kVlan);
        k.access = model.add_ethernet(1, 1);
        model.set_switchport_mode(k.access, sim::SwitchportMode::access);
        model.set_vlan(k.access, kVlan);
        model.set_private_data(k.access, 1, {5, 4});
        model.set_extension(k.access, 1, 3);
        k.channel = model.add_port_channel(1);
        model.add_member(k.channel, model.add_ethernet(1, 3));
        k.vlan_if = model.add_vlan_interface(kVlan);
        k.subif = model.add_subinterface(model.add_ethernet(1, 2), 100, 100);
        k.access_iod = iod(k.access);
        k.access_pi = pi(k.access);
        k.access_lif = lif(k.access);
        k.vlan_if_iod = iod(k.vlan_if);
    }

    // Runs `probe` in a fresh cache with `fault` armed; the invariants hold
    // afterwards whatever the result.
    uint64_t run(const Probe &probe, PeerFn fn, const sim::Fault &fault) {
        lcache_cleanup();
        lctest::TraceCapture::clear();
        histsvc_clear(lctest::kHistId);
        lcache_attr a = attr_with(probe.sync);
        a.l3_track = 1;
        EXPECT_EQ(lcache_init(&a), 1u);
        if (probe.start == Start::warm) {
            for (sim::IfIndex itf : {k.access, k.channel, k.vlan_if, k.subif})
                created(itf);
            lcache_if_flush_all(3);
        }
        sim::inject_fault(fn, fault);
        const uint64_t result = probe.run(k);
        sim::clear_faults();
        lcinv::Expectations expect;
        expect.creatable = probe.sync & lcinv::kTableBits;
        for (const std::string &problem : lcinv::check(expect))
            ADD_FAILURE() << problem;
        return result;
    }

    Keys k{};
};

constexpr uint32_t kStatuses[] = {99, sim::status::no_interface};

TEST_F(FaultMatrix, FailedCallsGiveTheExpectedResults) {
    for (const Expected &e : kStatusResults)
        for (uint32_t status : kStatuses) {
            SCOPED_TRACE(std::string(sim::peer_fn_name(e.fn)) + " -> " + std::to_string(status) +
                         " at " + e.probe);
            const uint64_t result =
                run(kProbes.at(e.probe), e.fn, {sim::FaultKind::status, status, {}});
            EXPECT_EQ(result, e.result == kTheStatus ? status : e.result);
        }
    for (const Expected &e : kZeroResults) {
        SCOPED_TRACE(std::string(sim::peer_fn_name(e.fn)) + " -> 0 at " + e.probe);
        EXPECT_EQ(run(kProbes.at(e.probe), e.fn, {sim::FaultKind::value, 0, {}}), e.result);
    }
}

// Every function, every failure, every probe: the invariants hold (the
// live blocks among them), and nothing in the library ever calls the port
// manager, whose fallback exists only for other clients.
TEST_F(FaultMatrix, EveryFailureAtEveryEntryPointKeepsTheInvariants) {
    for (size_t f = 0; f < sim::kPeerFnCount; ++f) {
        const auto fn = static_cast<PeerFn>(f);
        const bool status_fn = sim::peer_fn_kind(fn) == sim::PeerFnKind::status;
        for (uint32_t result : status_fn ? std::vector<uint32_t>(kStatuses, std::end(kStatuses))
                                         : std::vector<uint32_t>{0})
            for (const auto &[name, probe] : kProbes) {
                SCOPED_TRACE(std::string(sim::peer_fn_name(fn)) + " at " + name);
                run(probe, fn,
                    {status_fn ? sim::FaultKind::status : sim::FaultKind::value, result, {}});
            }
    }
    EXPECT_EQ(calls(PeerFn::phyport_gldb_get_ifindex_port_mode), 0u);
}

} // namespace
