// The client's side of a switch served in another process: a connection
// that controls the served switch, and a PeerBackend whose every call is
// one request and one answer over that connection, as peer services are
// reached in a real switch operating system.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "sim/ipc_protocol.h"

namespace sim::ipc {

// How long a client waits for the server's greeting and for each answer
// unless told otherwise.
inline constexpr std::chrono::milliseconds kDefaultAnswerTimeout{10000};

class Client {
  public:
    // `fd`: a connected Unix stream socket, owned from now on.  Waits for
    // the server's greeting; throws LinkError when it refuses this client
    // or does not greet within `timeout`, the limit of every answer after.
    explicit Client(int fd, std::chrono::milliseconds timeout = kDefaultAnswerTimeout);
    // Connects to a server listening at `path`; throws LinkError.
    static Client connect(const std::string &path,
                          std::chrono::milliseconds timeout = kDefaultAnswerTimeout);

    // Replaces the served switch by a leaf built with `leaf`, or by an
    // empty switch.  Throws ModelError when the leaf does not fit.
    void build(const std::optional<LeafOptions> &leaf);
    // Throws ModelError with the server's message when the model refuses.
    Applied apply(const Change &change);

    // Sends `request` and returns a reader over the results of an
    // Answer::ok, valid until the next request.  Throws LinkError, and
    // ModelError for a refused change.  Once the link has failed, every
    // later request fails at once: a half-read answer cannot be resynced.
    Reader transact(Writer &request);

    // Why the link failed; empty while it works.
    const std::string &failure() const { return failure_; }

  private:
    // The next answer's frame, within the timeout; records a failure.
    void await_answer(Clock::time_point deadline);
    // The reader past an ok code; throws for the other codes.
    Reader results();

    Channel channel_;
    std::chrono::milliseconds timeout_;
    std::vector<uint8_t> answer_;
    std::string failure_;
};

class RemoteBackend : public PeerBackend {
  public:
    // `client` must outlive the backend.
    explicit RemoteBackend(Client &client) : client_(client) {}

    bool netif_is_switchport(uint32_t iod) override;
    bool netif_is_linkup(uint32_t iod) override;
    bool netif_is_protoup(uint32_t iod) override;
    bool netif_is_ethernet(uint32_t iod) override;
    bool netif_is_vlan(uint32_t iod) override;
    bool netif_is_loopback(uint32_t iod) override;
    bool netif_is_native_p2p(uint32_t iod) override;
    bool netif_is_null0(uint32_t iod) override;
    bool netif_is_switching_enabled_on_iod(uint32_t iod) override;
    bool netif_is_mgmtether(uint32_t iod) override;
    bool netif_is_super_802_3ad(uint32_t iod) override;
    bool netif_is_gre_tunnel(uint32_t iod) override;
    bool netif_is_stretch_tunnel(uint32_t iod) override;
    bool netif_is_mpls_tunnel(uint32_t iod) override;
    bool netif_is_6to4_tunnel(uint32_t iod) override;
    uint16_t netif_get_if_mtu(uint32_t iod) override;
    uint16_t netif_get_if_encaptype(uint32_t iod) override;
    uint16_t netif_get_if_vlanid(uint32_t iod) override;
    IfIndex netif_get_sub_interface_parent(uint32_t iod) override;
    Reply<PortVlan> netif_get_vlan_info(uint32_t iod) override;
    Reply<Mac> netif_get_if_src_mac_addr(uint32_t iod) override;
    bool netif_is_if_mac_addr(uint32_t iod, const Mac &mac) override;
    Reply<std::string> netif_get_if_name(uint32_t iod) override;
    PrivateData netif_get_private_data(uint32_t iod, uint32_t key) override;
    uint32_t netif_get_extension(uint32_t iod, uint32_t key) override;
    bool netif_is_extension_set(uint32_t iod, uint32_t key) override;

    Reply<uint32_t> netif_get_iod_frm_ifindex(IfIndex ifindex) override;
    Reply<IfIndex> netif_get_ifindex_frm_iod(uint32_t iod) override;
    Reply<std::string> netif_get_ifindex_name(IfIndex ifindex) override;
    Reply<std::vector<uint32_t>>
    netif_get_ifindex_port_mode_list(const std::vector<IfIndex> &ifindexes) override;

    Reply<PortChannelInfo> agg_get_pc_info(IfIndex channel) override;
    Reply<IfIndex> agg_get_pc_mbr_ifidx_from_rbh(IfIndex channel, uint8_t hash) override;

    Reply<IfIndex> dmap_lib_si_to_ifidx(uint32_t si) override;
    Reply<uint32_t> dmap_lib_ifidx_to_di(IfIndex ifindex) override;
    Reply<uint32_t> dmap_lib_bd_to_di(uint16_t bd) override;

    Reply<uint32_t> lifsvc_query_ifindex_to_lif(IfIndex ifindex) override;
    Reply<IfIndex> lifsvc_query_lif_to_ifindex(uint32_t lif) override;

    uint32_t rtctx_if_get_context_id(uint32_t iod) override;
    uint32_t rtctx_if_get_table_id(uint32_t iod, uint32_t af, std::string_view name) override;

    Reply<uint16_t> vlan_get_bd(VlanKey key) override;
    Reply<BdAndPrimary> vlan_get_bd_and_primary_vlan(VlanKey key) override;

    uint16_t hostctl_slice_get() override;
    Reply<uint8_t> if_index_get_type(IfIndex ifindex) override;
    Reply<uint32_t> phyport_gldb_get_ifindex_port_mode(IfIndex ifindex) override;

  private:
    template <class Result, class... Args> Result call(PeerFn fn, const Args &...args);

    Client &client_;
};

} // namespace sim::ipc
