// SPDX-License-Identifier: MIT
// How every extern "C" peer function runs: count the call, answer with an
// armed fault if there is one, else ask the active backend.  Nothing
// escapes: a failure inside the simulation becomes status::internal (or a
// zero value), never an exception through the C caller.
//
// The entry points are declared by the platform's headers, which C callers
// share, so they cannot be marked noexcept themselves; instead each one's
// body is a single call of one of these noexcept dispatchers.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/peer_backend.h"
#include "sim/peer_fn.h"

namespace sim::detail {

void count_call(PeerFn fn) noexcept;
// The forced result of the fault armed on `fn`, used up by this call.
std::optional<uint32_t> take_fault(PeerFn fn) noexcept;

// `body(backend)` returns the status and writes the outputs on success.
template <class Body> uint32_t status_call(PeerFn fn, Body &&body) noexcept {
    count_call(fn);
    if (auto forced = take_fault(fn))
        return *forced;
    try {
        return body(active_backend());
    } catch (...) {
        return status::internal;
    }
}

template <class T, class Body> T value_call(PeerFn fn, Body &&body) noexcept {
    count_call(fn);
    if (auto forced = take_fault(fn))
        return static_cast<T>(*forced);
    try {
        return body(active_backend());
    } catch (...) {
        return T{};
    }
}

// A status function with one output, written only on success.
template <class Out, class Query> uint32_t out_call(PeerFn fn, Out *out, Query &&query) noexcept {
    return status_call(fn, [&](PeerBackend &backend) -> uint32_t {
        if (!out)
            return status::bad_argument;
        auto reply = query(backend);
        if (reply.ok())
            *out = reply.value;
        return reply.status;
    });
}

template <class Result> using ReplyValue = decltype(Result::value);

} // namespace sim::detail

// The entry points of the list's `value` and `out` rows (sim/peer_fn.h).
// A file that defines one library's entry points defines SIM_IN_sim and
// SIM_IN_peers, one keeping its argument and the other dropping it, and
// expands SIM_PEER_FUNCTIONS(SIM_ENTRY_POINT).
#define SIM_UNPAREN(...) __VA_ARGS__
#define SIM_ENTRY_value(name, Result, params, args)                                                \
    uint32_t name params {                                                                         \
        return sim::detail::value_call<uint32_t>(sim::PeerFn::name, [&](sim::PeerBackend &b) {     \
            return static_cast<uint32_t>(b.name args);                                             \
        });                                                                                        \
    }
#define SIM_ENTRY_out(name, Result, params, args)                                                  \
    uint32_t name(SIM_UNPAREN params, sim::detail::ReplyValue<sim::Result> *out) {                  \
        return sim::detail::out_call(sim::PeerFn::name, out,                                       \
                                     [&](sim::PeerBackend &b) { return b.name args; });            \
    }
#define SIM_ENTRY_custom(...)
#define SIM_ENTRY_POINT(name, kind, Result, params, args, entry, library)                          \
    SIM_IN_##library(SIM_ENTRY_##entry(name, Result, params, args))
