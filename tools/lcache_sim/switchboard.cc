// SPDX-License-Identifier: MIT
// The switch in this process, or in a server process.
#include "switchboard.h"

#include <chrono>
#include <stdexcept>

#include "sim/ipc_client.h"
#include "sim/ipc_server.h"
#include "sim/model_backend.h"

namespace lcsim {
namespace {

class LocalSwitchboard : public Switchboard {
  public:
    LocalSwitchboard() { sim::set_active_backend(nullptr); }

    const sim::Switch &model() const override { return sim::default_switch(); }

    void build(const std::optional<sim::LeafOptions> &leaf) override {
        sim::default_switch() = leaf ? sim::build_leaf_switch(*leaf) : sim::Switch();
    }

    sim::Applied apply(const sim::Change &change) override {
        return sim::apply_change(sim::default_switch(), change);
    }
};

// The server's switch answers the peer calls; the client keeps a replica,
// changed alongside it, to plan changes and name interfaces, and checks on
// every change that both told the same.
class RemoteSwitchboard : public Switchboard {
  public:
    RemoteSwitchboard(const std::string &socket, std::chrono::milliseconds timeout)
        : client_(connect(server_, socket, timeout)), backend_(client_, replica_) {
        sim::set_active_backend(&backend_);
    }
    ~RemoteSwitchboard() override { sim::set_active_backend(nullptr); }

    const sim::Switch &model() const override { return replica_; }

    void build(const std::optional<sim::LeafOptions> &leaf) override {
        replica_ = leaf ? sim::build_leaf_switch(*leaf) : sim::Switch();
        client_.build(leaf);
    }

    sim::Applied apply(const sim::Change &change) override {
        sim::Applied here = sim::apply_change(replica_, change);
        if (client_.apply(change) != here)
            throw std::runtime_error("the switch server applied a change differently");
        return here;
    }

    void check() const override {
        if (!client_.failure().empty())
            throw std::runtime_error("lost the switch server: " + client_.failure());
    }

    std::chrono::nanoseconds round_trip_time() const override { return client_.round_trip_time(); }

  private:
    static sim::ipc::Client connect(std::optional<sim::ipc::ServerProcess> &server,
                                    const std::string &socket, std::chrono::milliseconds timeout) {
        if (!socket.empty())
            return sim::ipc::Client::connect(socket, timeout);
        server.emplace();
        return sim::ipc::Client(server->take_client_fd(), timeout);
    }

    // Declared first, so it is destroyed last: the server exits once the
    // client's end of the link is closed.
    std::optional<sim::ipc::ServerProcess> server_;
    sim::ipc::Client client_;
    sim::Switch replica_; // answers the functions answered locally
    sim::ipc::RemoteBackend backend_;
};

} // namespace

std::unique_ptr<Switchboard> open_switchboard(PeerMode mode, const std::string &socket,
                                              uint32_t timeout_ms) {
    if (mode == PeerMode::inproc)
        return std::make_unique<LocalSwitchboard>();
    return std::make_unique<RemoteSwitchboard>(socket, std::chrono::milliseconds(timeout_ms));
}

} // namespace lcsim
