// The switch server: requests in, answers out, one client.
#include "sim/ipc_server.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>

#include "sim/ipc_protocol.h"
#include "sim/model_backend.h"

namespace sim::ipc {
namespace {

// Every PeerBackend call, by name: the server decodes each one's
// arguments from its signature.
#define SIM_IPC_PEER_FUNCTIONS(X)                                                                  \
    X(netif_is_switchport)                                                                         \
    X(netif_is_linkup)                                                                             \
    X(netif_is_protoup)                                                                            \
    X(netif_is_ethernet)                                                                           \
    X(netif_is_vlan)                                                                               \
    X(netif_is_loopback)                                                                           \
    X(netif_is_native_p2p)                                                                         \
    X(netif_is_null0)                                                                              \
    X(netif_is_switching_enabled_on_iod)                                                           \
    X(netif_is_mgmtether)                                                                          \
    X(netif_is_super_802_3ad)                                                                      \
    X(netif_is_gre_tunnel)                                                                         \
    X(netif_is_stretch_tunnel)                                                                     \
    X(netif_is_mpls_tunnel)                                                                        \
    X(netif_is_6to4_tunnel)                                                                        \
    X(netif_get_if_mtu)                                                                            \
    X(netif_get_if_encaptype)                                                                      \
    X(netif_get_if_vlanid)                                                                         \
    X(netif_get_sub_interface_parent)                                                              \
    X(netif_get_vlan_info)                                                                         \
    X(netif_get_if_src_mac_addr)                                                                   \
    X(netif_is_if_mac_addr)                                                                        \
    X(netif_get_if_name)                                                                           \
    X(netif_get_private_data)                                                                      \
    X(netif_get_extension)                                                                         \
    X(netif_is_extension_set)                                                                      \
    X(netif_get_iod_frm_ifindex)                                                                   \
    X(netif_get_ifindex_frm_iod)                                                                   \
    X(netif_get_ifindex_name)                                                                      \
    X(netif_get_ifindex_port_mode_list)                                                            \
    X(agg_get_pc_info)                                                                             \
    X(agg_get_pc_mbr_ifidx_from_rbh)                                                               \
    X(dmap_lib_si_to_ifidx)                                                                        \
    X(dmap_lib_ifidx_to_di)                                                                        \
    X(dmap_lib_bd_to_di)                                                                           \
    X(lifsvc_query_ifindex_to_lif)                                                                 \
    X(lifsvc_query_lif_to_ifindex)                                                                 \
    X(rtctx_if_get_context_id)                                                                     \
    X(rtctx_if_get_table_id)                                                                       \
    X(vlan_get_bd)                                                                                 \
    X(vlan_get_bd_and_primary_vlan)                                                                \
    X(hostctl_slice_get)                                                                           \
    X(if_index_get_type)                                                                           \
    X(phyport_gldb_get_ifindex_port_mode)

#define SIM_IPC_COUNT(name) +1
static_assert(0 SIM_IPC_PEER_FUNCTIONS(SIM_IPC_COUNT) == kPeerFnCount,
              "the server answers every peer function");
#undef SIM_IPC_COUNT

template <class Result, class... Args>
void answer(Result (PeerBackend::*method)(Args...), PeerBackend &backend, Reader &in, Writer &out) {
    std::tuple<std::remove_cvref_t<Args>...> args;
    std::apply([&](auto &...arg) { (get(in, arg), ...); }, args);
    in.expect_end();
    const Result result = std::apply([&](auto &...arg) { return (backend.*method)(arg...); }, args);
    put(out, static_cast<uint8_t>(Answer::ok));
    put(out, result);
}

void answer_peer_call(PeerFn fn, PeerBackend &backend, Reader &in, Writer &out) {
    switch (fn) {
#define SIM_IPC_ANSWER(name)                                                                       \
    case PeerFn::name: answer(&PeerBackend::name, backend, in, out); return;
        SIM_IPC_PEER_FUNCTIONS(SIM_IPC_ANSWER)
#undef SIM_IPC_ANSWER
    }
}

class Server {
  public:
    Server() : backend_(model_) {}

    // One request's answer; a request the model refuses is answered
    // "refused", and the server goes on.
    Writer handle(const std::vector<uint8_t> &request) {
        Reader in(request);
        Writer out;
        try {
            uint8_t op = 0;
            get(in, op);
            if (op < kPeerFnCount)
                answer_peer_call(static_cast<PeerFn>(op), backend_, in, out);
            else
                control(static_cast<Op>(op), in, out);
        } catch (const ModelError &e) {
            out = failure(Answer::refused, e.what());
        } catch (const LinkError &) {
            throw;
        } catch (const std::exception &e) {
            out = failure(Answer::failed, e.what());
        }
        return out;
    }

  private:
    static Writer failure(Answer code, std::string_view message) {
        Writer out;
        put(out, static_cast<uint8_t>(code));
        put(out, message);
        return out;
    }

    void control(Op op, Reader &in, Writer &out) {
        switch (op) {
        case Op::build: {
            bool leaf = false;
            get(in, leaf);
            LeafOptions options;
            if (leaf)
                get(in, options);
            in.expect_end();
            model_ = leaf ? build_leaf_switch(options) : Switch();
            put(out, static_cast<uint8_t>(Answer::ok));
            return;
        }
        case Op::apply: {
            Change change;
            get(in, change);
            in.expect_end();
            const Applied applied = apply_change(model_, change);
            put(out, static_cast<uint8_t>(Answer::ok));
            put(out, applied);
            return;
        }
        }
        throw LinkError("request " + std::to_string(static_cast<int>(op)) + " does not exist");
    }

    Switch model_;
    ModelBackend backend_;
};

struct ListeningSocket {
    int fd;
    ~ListeningSocket() { close(fd); }
};

// The child of a fork: nothing of the parent's but the socket is used, and
// it leaves with _exit so the parent's atexit handlers and buffered output
// stay the parent's.
[[noreturn]] void run_child(int fd, pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(1);
    _exit(serve(fd));
}

} // namespace

int serve(int fd) {
    Channel channel(fd);
    Server server;
    try {
        while (auto request = channel.receive()) {
            Writer answer = server.handle(*request);
            channel.send(answer);
        }
        return 0;
    } catch (const LinkClosed &) {
        return 0; // the client went away mid-request: killed, most likely
    } catch (const std::exception &e) {
        std::fprintf(stderr, "switch server: %s\n", e.what());
        return 1;
    }
}

int serve_at(const std::string &path) {
    sockaddr_un address;
    const int fd = unix_socket(path, address);
    const ListeningSocket listener{fd};
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 1) != 0)
        throw LinkError("cannot listen on " + path + ": " + std::strerror(errno));
    int client = -1;
    do {
        client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    } while (client < 0 && errno == EINTR);
    const int error = errno;
    ::unlink(path.c_str());
    if (client < 0)
        throw LinkError(std::string("cannot accept a client: ") + std::strerror(error));
    return serve(client);
}

ServerProcess::ServerProcess() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw LinkError(std::string("cannot create a socket pair: ") + std::strerror(errno));
    // Output still buffered would be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        close(ends[0]);
        run_child(ends[1], parent);
    }
    close(ends[1]);
    if (pid_ < 0) {
        const int error = errno;
        close(ends[0]);
        throw LinkError(std::string("cannot start the switch server: ") + std::strerror(error));
    }
    client_fd_ = ends[0];
}

int ServerProcess::take_client_fd() { return std::exchange(client_fd_, -1); }

ServerProcess::~ServerProcess() {
    if (client_fd_ >= 0)
        close(client_fd_);
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(1ms);
    }
}

} // namespace sim::ipc
