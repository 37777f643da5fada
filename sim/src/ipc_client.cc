// Peer calls and control requests sent to a switch server.
#include "sim/ipc_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim::ipc {

Client::Client(int fd, std::chrono::milliseconds timeout) : channel_(fd), timeout_(timeout) {
    await_answer(Clock::now() + timeout_);
    results().expect_end();
}

Client Client::connect(const std::string &path, std::chrono::milliseconds timeout) {
    sockaddr_un address;
    const int fd = unix_socket(path, address);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        throw LinkError("cannot connect to " + path + ": " + std::strerror(error));
    }
    return Client(fd, timeout);
}

void Client::await_answer(Clock::time_point deadline) {
    try {
        auto answer = channel_.receive(deadline);
        if (!answer)
            throw LinkError("the switch server closed the link");
        answer_ = std::move(*answer);
    } catch (const LinkTimeout &) {
        failure_ = "the switch server did not answer within " + std::to_string(timeout_.count()) +
                   " ms";
        throw LinkTimeout(failure_);
    } catch (const LinkError &e) {
        failure_ = e.what();
        throw;
    }
}

Reader Client::results() {
    Reader reader(answer_);
    uint8_t code = 0;
    get(reader, code);
    if (code == static_cast<uint8_t>(Answer::ok))
        return reader;
    if (code >= kAnswerCount) {
        failure_ = "the switch server answered with unknown code " + std::to_string(code);
        throw LinkError(failure_);
    }
    std::string message;
    get(reader, message);
    if (code == static_cast<uint8_t>(Answer::refused))
        throw ModelError(message);
    throw LinkError("the switch server: " + message);
}

Reader Client::transact(Writer &request) {
    if (!failure_.empty())
        throw LinkError(failure_);
    const Clock::time_point deadline = Clock::now() + timeout_;
    try {
        channel_.send(request, deadline);
    } catch (const LinkError &e) {
        failure_ = e.what();
        throw;
    }
    await_answer(deadline);
    return results();
}

void Client::build(const std::optional<LeafOptions> &leaf) {
    Writer request;
    put(request, static_cast<uint8_t>(Op::build));
    put(request, leaf.has_value());
    if (leaf)
        put(request, *leaf);
    transact(request).expect_end();
}

Applied Client::apply(const Change &change) {
    Writer request;
    put(request, static_cast<uint8_t>(Op::apply));
    put(request, change);
    Reader answer = transact(request);
    Applied applied;
    get(answer, applied);
    answer.expect_end();
    return applied;
}

template <class Result, class... Args> Result RemoteBackend::call(PeerFn fn, const Args &...args) {
    Writer request;
    put(request, static_cast<uint8_t>(fn));
    (put(request, args), ...);
    Reader answer = client_.transact(request);
    Result result{};
    get(answer, result);
    answer.expect_end();
    return result;
}

bool RemoteBackend::netif_is_switchport(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_switchport, iod);
}
bool RemoteBackend::netif_is_linkup(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_linkup, iod);
}
bool RemoteBackend::netif_is_protoup(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_protoup, iod);
}
bool RemoteBackend::netif_is_ethernet(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_ethernet, iod);
}
bool RemoteBackend::netif_is_vlan(uint32_t iod) { return call<bool>(PeerFn::netif_is_vlan, iod); }
bool RemoteBackend::netif_is_loopback(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_loopback, iod);
}
bool RemoteBackend::netif_is_native_p2p(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_native_p2p, iod);
}
bool RemoteBackend::netif_is_null0(uint32_t iod) { return call<bool>(PeerFn::netif_is_null0, iod); }
bool RemoteBackend::netif_is_switching_enabled_on_iod(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_switching_enabled_on_iod, iod);
}
bool RemoteBackend::netif_is_mgmtether(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_mgmtether, iod);
}
bool RemoteBackend::netif_is_super_802_3ad(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_super_802_3ad, iod);
}
bool RemoteBackend::netif_is_gre_tunnel(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_gre_tunnel, iod);
}
bool RemoteBackend::netif_is_stretch_tunnel(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_stretch_tunnel, iod);
}
bool RemoteBackend::netif_is_mpls_tunnel(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_mpls_tunnel, iod);
}
bool RemoteBackend::netif_is_6to4_tunnel(uint32_t iod) {
    return call<bool>(PeerFn::netif_is_6to4_tunnel, iod);
}
uint16_t RemoteBackend::netif_get_if_mtu(uint32_t iod) {
    return call<uint16_t>(PeerFn::netif_get_if_mtu, iod);
}
uint16_t RemoteBackend::netif_get_if_encaptype(uint32_t iod) {
    return call<uint16_t>(PeerFn::netif_get_if_encaptype, iod);
}
uint16_t RemoteBackend::netif_get_if_vlanid(uint32_t iod) {
    return call<uint16_t>(PeerFn::netif_get_if_vlanid, iod);
}
IfIndex RemoteBackend::netif_get_sub_interface_parent(uint32_t iod) {
    return call<IfIndex>(PeerFn::netif_get_sub_interface_parent, iod);
}
Reply<PortVlan> RemoteBackend::netif_get_vlan_info(uint32_t iod) {
    return call<Reply<PortVlan>>(PeerFn::netif_get_vlan_info, iod);
}
Reply<Mac> RemoteBackend::netif_get_if_src_mac_addr(uint32_t iod) {
    return call<Reply<Mac>>(PeerFn::netif_get_if_src_mac_addr, iod);
}
bool RemoteBackend::netif_is_if_mac_addr(uint32_t iod, const Mac &mac) {
    return call<bool>(PeerFn::netif_is_if_mac_addr, iod, mac);
}
Reply<std::string> RemoteBackend::netif_get_if_name(uint32_t iod) {
    return call<Reply<std::string>>(PeerFn::netif_get_if_name, iod);
}
PrivateData RemoteBackend::netif_get_private_data(uint32_t iod, uint32_t key) {
    return call<PrivateData>(PeerFn::netif_get_private_data, iod, key);
}
uint32_t RemoteBackend::netif_get_extension(uint32_t iod, uint32_t key) {
    return call<uint32_t>(PeerFn::netif_get_extension, iod, key);
}
bool RemoteBackend::netif_is_extension_set(uint32_t iod, uint32_t key) {
    return call<bool>(PeerFn::netif_is_extension_set, iod, key);
}

Reply<uint32_t> RemoteBackend::netif_get_iod_frm_ifindex(IfIndex ifindex) {
    return call<Reply<uint32_t>>(PeerFn::netif_get_iod_frm_ifindex, ifindex);
}
Reply<IfIndex> RemoteBackend::netif_get_ifindex_frm_iod(uint32_t iod) {
    return call<Reply<IfIndex>>(PeerFn::netif_get_ifindex_frm_iod, iod);
}
Reply<std::string> RemoteBackend::netif_get_ifindex_name(IfIndex ifindex) {
    return call<Reply<std::string>>(PeerFn::netif_get_ifindex_name, ifindex);
}
Reply<std::vector<uint32_t>>
RemoteBackend::netif_get_ifindex_port_mode_list(const std::vector<IfIndex> &ifindexes) {
    return call<Reply<std::vector<uint32_t>>>(PeerFn::netif_get_ifindex_port_mode_list, ifindexes);
}

Reply<PortChannelInfo> RemoteBackend::agg_get_pc_info(IfIndex channel) {
    return call<Reply<PortChannelInfo>>(PeerFn::agg_get_pc_info, channel);
}
Reply<IfIndex> RemoteBackend::agg_get_pc_mbr_ifidx_from_rbh(IfIndex channel, uint8_t hash) {
    return call<Reply<IfIndex>>(PeerFn::agg_get_pc_mbr_ifidx_from_rbh, channel, hash);
}

Reply<IfIndex> RemoteBackend::dmap_lib_si_to_ifidx(uint32_t si) {
    return call<Reply<IfIndex>>(PeerFn::dmap_lib_si_to_ifidx, si);
}
Reply<uint32_t> RemoteBackend::dmap_lib_ifidx_to_di(IfIndex ifindex) {
    return call<Reply<uint32_t>>(PeerFn::dmap_lib_ifidx_to_di, ifindex);
}
Reply<uint32_t> RemoteBackend::dmap_lib_bd_to_di(uint16_t bd) {
    return call<Reply<uint32_t>>(PeerFn::dmap_lib_bd_to_di, bd);
}

Reply<uint32_t> RemoteBackend::lifsvc_query_ifindex_to_lif(IfIndex ifindex) {
    return call<Reply<uint32_t>>(PeerFn::lifsvc_query_ifindex_to_lif, ifindex);
}
Reply<IfIndex> RemoteBackend::lifsvc_query_lif_to_ifindex(uint32_t lif) {
    return call<Reply<IfIndex>>(PeerFn::lifsvc_query_lif_to_ifindex, lif);
}

uint32_t RemoteBackend::rtctx_if_get_context_id(uint32_t iod) {
    return call<uint32_t>(PeerFn::rtctx_if_get_context_id, iod);
}
uint32_t RemoteBackend::rtctx_if_get_table_id(uint32_t iod, uint32_t af, std::string_view name) {
    return call<uint32_t>(PeerFn::rtctx_if_get_table_id, iod, af, name);
}

Reply<uint16_t> RemoteBackend::vlan_get_bd(VlanKey key) {
    return call<Reply<uint16_t>>(PeerFn::vlan_get_bd, key);
}
Reply<BdAndPrimary> RemoteBackend::vlan_get_bd_and_primary_vlan(VlanKey key) {
    return call<Reply<BdAndPrimary>>(PeerFn::vlan_get_bd_and_primary_vlan, key);
}

uint16_t RemoteBackend::hostctl_slice_get() { return call<uint16_t>(PeerFn::hostctl_slice_get); }
Reply<uint8_t> RemoteBackend::if_index_get_type(IfIndex ifindex) {
    return call<Reply<uint8_t>>(PeerFn::if_index_get_type, ifindex);
}
Reply<uint32_t> RemoteBackend::phyport_gldb_get_ifindex_port_mode(IfIndex ifindex) {
    return call<Reply<uint32_t>>(PeerFn::phyport_gldb_get_ifindex_port_mode, ifindex);
}

} // namespace sim::ipc
