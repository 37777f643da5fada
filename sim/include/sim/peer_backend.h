// The peer services as one C++ interface: one virtual per peer function,
// named after it, with plain-data arguments and answers so that a backend
// may live in another process.  The extern "C" peer functions translate
// their records to and from these calls; a failed Reply leaves the C
// caller's outputs untouched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/interface.h"
#include "sim/status.h"
#include "sim/types.h"

namespace sim {

template <class T> struct Reply {
    uint32_t status = status::ok;
    T value{};
    bool ok() const { return status == status::ok; }
};

struct PortVlan {
    uint16_t slice = 0;
    uint32_t vlan = 0;
    uint32_t mode = 0;
};

struct PortChannelInfo {
    IfIndex first_operational = 0; // 0 = none
    uint16_t members = 0;
};

struct VlanKey {
    uint16_t slice = 0;
    uint32_t vlan = 0;
};

struct BdAndPrimary {
    uint16_t bd = 0;
    uint32_t primary = 0;
};

class PeerBackend {
  public:
    virtual ~PeerBackend() = default;

    // Interface manager, by iod.  An unknown iod answers false / 0.
    virtual bool netif_is_switchport(uint32_t iod) = 0;
    virtual bool netif_is_linkup(uint32_t iod) = 0;
    virtual bool netif_is_protoup(uint32_t iod) = 0;
    virtual bool netif_is_ethernet(uint32_t iod) = 0;
    virtual bool netif_is_vlan(uint32_t iod) = 0;
    virtual bool netif_is_loopback(uint32_t iod) = 0;
    virtual bool netif_is_native_p2p(uint32_t iod) = 0;
    virtual bool netif_is_null0(uint32_t iod) = 0;
    virtual bool netif_is_switching_enabled_on_iod(uint32_t iod) = 0;
    virtual bool netif_is_mgmtether(uint32_t iod) = 0;
    virtual bool netif_is_super_802_3ad(uint32_t iod) = 0;
    virtual bool netif_is_gre_tunnel(uint32_t iod) = 0;
    virtual bool netif_is_stretch_tunnel(uint32_t iod) = 0;
    virtual bool netif_is_mpls_tunnel(uint32_t iod) = 0;
    virtual bool netif_is_6to4_tunnel(uint32_t iod) = 0;
    virtual uint16_t netif_get_if_mtu(uint32_t iod) = 0;
    virtual uint16_t netif_get_if_encaptype(uint32_t iod) = 0;
    virtual uint16_t netif_get_if_vlanid(uint32_t iod) = 0;
    virtual IfIndex netif_get_sub_interface_parent(uint32_t iod) = 0;
    virtual Reply<PortVlan> netif_get_vlan_info(uint32_t iod) = 0;
    virtual Reply<Mac> netif_get_if_src_mac_addr(uint32_t iod) = 0;
    virtual bool netif_is_if_mac_addr(uint32_t iod, const Mac &mac) = 0;
    virtual Reply<std::string> netif_get_if_name(uint32_t iod) = 0;
    virtual PrivateData netif_get_private_data(uint32_t iod, uint32_t key) = 0; // {0, 0}: none
    virtual uint32_t netif_get_extension(uint32_t iod, uint32_t key) = 0;
    virtual bool netif_is_extension_set(uint32_t iod, uint32_t key) = 0;

    // Interface manager, by ifindex.
    virtual Reply<uint32_t> netif_get_iod_frm_ifindex(IfIndex ifindex) = 0;
    virtual Reply<IfIndex> netif_get_ifindex_frm_iod(uint32_t iod) = 0;
    virtual Reply<std::string> netif_get_ifindex_name(IfIndex ifindex) = 0;
    // One port mode per ifindex, in order; fails as a whole.
    virtual Reply<std::vector<uint32_t>>
    netif_get_ifindex_port_mode_list(const std::vector<IfIndex> &ifindexes) = 0;

    // Port-channel manager.
    virtual Reply<PortChannelInfo> agg_get_pc_info(IfIndex channel) = 0;
    virtual Reply<IfIndex> agg_get_pc_mbr_ifidx_from_rbh(IfIndex channel, uint8_t hash) = 0;

    // Index mapper.
    virtual Reply<IfIndex> dmap_lib_si_to_ifidx(uint32_t si) = 0;
    virtual Reply<uint32_t> dmap_lib_ifidx_to_di(IfIndex ifindex) = 0;
    virtual Reply<uint32_t> dmap_lib_bd_to_di(uint16_t bd) = 0;

    // LIF table manager.
    virtual Reply<uint32_t> lifsvc_query_ifindex_to_lif(IfIndex ifindex) = 0;
    virtual Reply<IfIndex> lifsvc_query_lif_to_ifindex(uint32_t lif) = 0;

    // Routing contexts (0 = not known).
    virtual uint32_t rtctx_if_get_context_id(uint32_t iod) = 0;
    virtual uint32_t rtctx_if_get_table_id(uint32_t iod, uint32_t af, std::string_view name) = 0;

    // VLAN manager.
    virtual Reply<uint16_t> vlan_get_bd(VlanKey key) = 0;
    virtual Reply<BdAndPrimary> vlan_get_bd_and_primary_vlan(VlanKey key) = 0;

    // System manager, interface-index classification, Ethernet port manager.
    virtual uint16_t hostctl_slice_get() = 0;
    virtual Reply<uint8_t> if_index_get_type(IfIndex ifindex) = 0;
    virtual Reply<uint32_t> phyport_gldb_get_ifindex_port_mode(IfIndex ifindex) = 0;
};

// The backend every peer function dispatches to.  Until one is set it is a
// ModelBackend over default_switch().
PeerBackend &active_backend();
// `backend` (not owned) must outlive its use; nullptr restores the default.
void set_active_backend(PeerBackend *backend);

} // namespace sim
