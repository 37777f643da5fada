// SPDX-License-Identifier: MIT
#include "sim/peer_calls.h"

#include <array>
#include <atomic>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>

#include "dispatch.h"

namespace sim {
namespace {

size_t slot(PeerFn fn) { return static_cast<size_t>(fn); }

// Constant-initialised, so peer calls made while other libraries are
// still being constructed find them ready.
constinit std::array<std::atomic<uint64_t>, kPeerFnCount> counts{};

// `armed` lets the calls of a function without a fault skip the lock.
constinit std::mutex fault_mutex;
constinit std::array<std::optional<Fault>, kPeerFnCount> faults{};
constinit std::array<std::atomic<bool>, kPeerFnCount> armed{};

void check_fault(PeerFn fn, const Fault &fault) {
    const std::string name = peer_fn_name(fn);
    const PeerFnKind kind = peer_fn_kind(fn);
    const bool fits =
        fault.kind == FaultKind::status ? kind == PeerFnKind::status : kind != PeerFnKind::status;
    if (!fits)
        throw std::invalid_argument(name + " cannot take that kind of fault");
    if (kind == PeerFnKind::name && fault.result != 0)
        throw std::invalid_argument(name + " can only be forced to answer NULL (value 0)");
    if (fault.calls == 0u)
        throw std::invalid_argument("a fault of " + name + " must hit at least one call");
}

} // namespace

uint64_t call_count(PeerFn fn) { return counts[slot(fn)].load(std::memory_order_relaxed); }

uint64_t total_calls() {
    return std::accumulate(counts.begin(), counts.end(), uint64_t{0},
                           [](uint64_t sum, const auto &count) {
                               return sum + count.load(std::memory_order_relaxed);
                           });
}

void reset_call_counts() {
    for (auto &count : counts)
        count.store(0, std::memory_order_relaxed);
}

void inject_fault(PeerFn fn, const Fault &fault) {
    check_fault(fn, fault);
    std::lock_guard lock(fault_mutex);
    faults[slot(fn)] = fault;
    armed[slot(fn)].store(true, std::memory_order_release);
}

void clear_fault(PeerFn fn) {
    std::lock_guard lock(fault_mutex);
    faults[slot(fn)].reset();
    armed[slot(fn)].store(false, std::memory_order_release);
}

void clear_faults() {
    for (size_t i = 0; i < kPeerFnCount; ++i)
        clear_fault(static_cast<PeerFn>(i));
}

namespace detail {

void count_call(PeerFn fn) noexcept { counts[slot(fn)].fetch_add(1, std::memory_order_relaxed); }

std::optional<uint32_t> take_fault(PeerFn fn) noexcept {
    if (!armed[slot(fn)].load(std::memory_order_acquire))
        return std::nullopt;
    std::lock_guard lock(fault_mutex);
    std::optional<Fault> &fault = faults[slot(fn)];
    if (!fault)
        return std::nullopt;
    const uint32_t result = fault->result;
    if (fault->calls && --*fault->calls == 0) {
        fault.reset();
        armed[slot(fn)].store(false, std::memory_order_release);
    }
    return result;
}

} // namespace detail
} // namespace sim
