// SPDX-License-Identifier: MIT
#include "sim/peer_fn.h"

#include <array>

namespace sim {
namespace {

struct FnInfo {
    const char *name;
    PeerFnKind kind;
};

#define SIM_PEER_INFO(name, kind, ...) {#name, PeerFnKind::kind},
constexpr std::array<FnInfo, kPeerFnCount> kFns{{SIM_PEER_FUNCTIONS(SIM_PEER_INFO)}};
#undef SIM_PEER_INFO

const FnInfo &info(PeerFn fn) { return kFns[static_cast<size_t>(fn)]; }

} // namespace

const char *peer_fn_name(PeerFn fn) { return info(fn).name; }
PeerFnKind peer_fn_kind(PeerFn fn) { return info(fn).kind; }

} // namespace sim
