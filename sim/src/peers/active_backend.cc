// SPDX-License-Identifier: MIT
// The process-wide default model and the backend peer calls go to.
#include <atomic>

#include "sim/model_backend.h"

namespace sim {
namespace {

constinit std::atomic<PeerBackend *> chosen{nullptr};

PeerBackend &default_backend() {
    static ModelBackend backend(default_switch());
    return backend;
}

} // namespace

Switch &default_switch() {
    static Switch model;
    return model;
}

PeerBackend &active_backend() {
    PeerBackend *backend = chosen.load(std::memory_order_acquire);
    return backend ? *backend : default_backend();
}

void set_active_backend(PeerBackend *backend) { chosen.store(backend, std::memory_order_release); }

} // namespace sim
