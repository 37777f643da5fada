// SPDX-License-Identifier: MIT
// From nothing to the first answer about every interface of the set (is
// the link up, its MTU, MAC and name): liblcache asked cold (each first
// question reads the interface through), liblcache after one
// lcache_linux_sync, and libnl's cache manager with either of its
// lookups; and under them all, the kernel's link dump alone.  Each
// iteration starts with no cache and no socket, and ends, untimed, by
// checking every answer against the kernel's and closing everything.
#include "linux_bench.h"

#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <netlink/cache.h>
#include <netlink/netlink.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "answers.h"
#include "host_set.h"
#include "lcache.h"
#include "lcache_linux.h"
#include "netlink_socket.h"
#include "rows.h"
#include "send_counter.h"

namespace lbench {
namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// liblcache with the notification bridge open, every question read
// through: its first question about an interface creates and fills the
// entry from the kernel.
class ReadThrough {
  public:
    ReadThrough(uint32_t pairs, const std::vector<uint32_t> &interfaces)
        : attr_(attribute_block(pairs)), interfaces_(interfaces) {}

    bool open(std::string &why) {
        if (lcache_init(&attr_) != 1)
            return why = "lcache_init failed", false;
        if (int error = lcache_linux_open())
            return why = std::string("lcache_linux_open: ") + std::strerror(-error), false;
        return true;
    }
    Answers ask(size_t i) { return lcache_answers(interfaces_[i]); }
    void close() {
        lcache_linux_close();
        lcache_cleanup();
    }
    void reset_round_trips() { lcache_linux_reset_counters(); }
    uint64_t round_trips() { return counters().round_trips; }
    uint64_t dump_retries() { return counters().dump_retries; }

  protected:
    lcache_attr attr_;
    const std::vector<uint32_t> &interfaces_;
};

// liblcache started warm: one dump creates and fills every entry, and the
// questions are hits.
class Synced : public ReadThrough {
  public:
    using ReadThrough::ReadThrough;

    bool open(std::string &why) {
        if (lcache_init(&attr_) != 1)
            return why = "lcache_init failed", false;
        if (int held = lcache_linux_sync(); held < 0)
            return why = std::string("lcache_linux_sync: ") + std::strerror(-held), false;
        return true;
    }
};

// rtnl_link_get walks libnl's list of links: one lookup cost 3-12 ms at
// 16 384 pairs (32 768 links, the query rows), so a start asking every
// link would take minutes.  Above this many pairs only the hashed lookup
// is measured.
constexpr uint32_t kListWalkPairs = 4096;

enum class Lookup { list, hash };

// libnl's cache manager with the route/link cache, the way its users
// start: the cache filled by the manager, then each link found by
// rtnl_link_get, or by libnl's hashed nl_cache_search.  libnl counts no
// round trips: the requests it sends are counted instead.
template <Lookup lookup>
class LibnlManager {
  public:
    LibnlManager(uint32_t, const std::vector<uint32_t> &interfaces) : interfaces_(interfaces), keys_(interfaces) {}

    bool open(std::string &why) {
        socket_ = nl_socket_alloc();
        if (!socket_)
            return why = "nl_socket_alloc failed", false;
        if (int error = nl_cache_mngr_alloc(socket_, NETLINK_ROUTE, 0, &manager_))
            return why = std::string("nl_cache_mngr_alloc: ") + nl_geterror(error), false;
        if (int error = nl_cache_mngr_add(manager_, "route/link", nullptr, nullptr, &links_))
            return why = std::string("nl_cache_mngr_add: ") + nl_geterror(error), false;
        return true;
    }
    Answers ask(size_t i) {
        return lookup == Lookup::list ? libnl_answers(links_, interfaces_[i]) : libnl_answers_hashed(links_, keys_[i]);
    }
    void close() {
        if (manager_)
            nl_cache_mngr_free(manager_);
        if (socket_)
            nl_socket_free(socket_);
        manager_ = nullptr;
        socket_ = nullptr;
        links_ = nullptr;
    }
    void reset_round_trips() { sent_before_ = requests_sent(); }
    uint64_t round_trips() { return requests_sent() - sent_before_; }

  private:
    const std::vector<uint32_t> &interfaces_;
    LibnlKeys keys_;
    nl_sock *socket_ = nullptr;
    nl_cache_mngr *manager_ = nullptr;
    nl_cache *links_ = nullptr;
    uint64_t sent_before_ = 0;
};

// Manual time: from the first call of the contender to its last answer.
// The counters split it into the start (init and open, sync, or the
// manager's fill) and the questions.
template <typename Contender>
void start_row(benchmark::State &state, uint32_t pairs) {
    HostSet *set = set_or_fail(state, pairs, Contenders::closed);
    if (!set)
        return;
    const std::vector<uint32_t> &interfaces = set->interfaces();
    std::vector<Answers> answers(interfaces.size());
    Contender contender(pairs, interfaces);
    uint64_t round_trips = 0;
    uint64_t dump_retries = 0;
    uint64_t sent = 0;
    uint64_t disagreements = 0;
    double open_ms = 0;
    double ask_ms = 0;
    for (auto _ : state) {
        contender.reset_round_trips();
        const uint64_t sent_before = requests_sent();
        std::string why;
        const auto start = Clock::now();
        const bool opened = contender.open(why);
        const auto filled = Clock::now();
        for (size_t i = 0; opened && i < interfaces.size(); ++i)
            answers[i] = contender.ask(i);
        const auto answered = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(answered - start).count());
        round_trips += contender.round_trips();
        sent += requests_sent() - sent_before;
        if constexpr (requires { contender.dump_retries(); })
            dump_retries += contender.dump_retries();
        open_ms += ms(filled - start);
        ask_ms += ms(answered - filled);
        const std::optional<uint32_t> wrong =
            opened ? lbench::disagreements(interfaces, answers) : std::nullopt;
        contender.close();
        if (!opened)
            return fail(state, why);
        if (!wrong)
            return fail(state, "the kernel's link dump, to check the answers, failed");
        disagreements += *wrong;
    }
    const double starts = static_cast<double>(state.iterations());
    state.counters["interfaces"] = static_cast<double>(interfaces.size());
    state.counters["round_trips"] = static_cast<double>(round_trips) / starts;
    state.counters["round_trips_per_interface"] =
        static_cast<double>(round_trips) / starts / static_cast<double>(interfaces.size());
    // liblcache's own count, checked by the count libnl's rows rely on.
    state.counters["requests_sent"] = static_cast<double>(sent) / starts;
    if constexpr (requires { contender.dump_retries(); })
        state.counters["dump_retries"] = static_cast<double>(dump_retries) / starts;
    state.counters["start_ms"] = open_ms / starts;
    state.counters["ask_ms"] = ask_ms / starts;
    state.counters["disagreements"] = static_cast<double>(disagreements);
    if (disagreements != 0)
        fail(state, "an answer after the start is not the kernel's");
}

// The floor under every start made of one dump: the kernel's link dump
// (statistics skipped, as liblcache_linux asks it), read whole by the
// socket class liblcache_linux reads it with, and parsed no further.
void kernel_dump_row(benchmark::State &state, uint32_t pairs) {
    HostSet *set = set_or_fail(state, pairs, Contenders::closed);
    if (!set)
        return;
    alignas(nlmsghdr) unsigned char buffer[MNL_SOCKET_BUFFER_SIZE] = {};
    nlmsghdr *request = link_dump_request(buffer);
    uint64_t links = 0;
    for (auto _ : state) {
        lcache_linux::NetlinkSocket socket;
        const auto start = Clock::now();
        int error = socket.open(0, false);
        if (error == 0)
            error = socket.transact(request, [&](const nlmsghdr *) {
                ++links;
                return MNL_CB_OK;
            });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (error != 0)
            return fail(state, std::string("the link dump failed: ") + std::strerror(-error));
    }
    state.counters["links"] = static_cast<double>(links) / static_cast<double>(state.iterations());
}

} // namespace

void register_start(uint32_t pairs) {
    const std::string size = "/" + std::to_string(pairs);
    benchmark::RegisterBenchmark(("start/lcache_read_through" + size).c_str(), start_row<ReadThrough>, pairs)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("start/lcache_sync" + size).c_str(), start_row<Synced>, pairs)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("start/libnl_manager" + size).c_str(), [pairs](benchmark::State &state) {
        if (pairs > kListWalkPairs)
            return state.SkipWithError("not run: rtnl_link_get walks libnl's list, minutes per start at this size");
        start_row<LibnlManager<Lookup::list>>(state, pairs);
    })->UseManualTime();
    benchmark::RegisterBenchmark(("start/libnl_manager_search" + size).c_str(),
                                 start_row<LibnlManager<Lookup::hash>>, pairs)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("start/kernel_dump" + size).c_str(), kernel_dump_row, pairs)->UseManualTime();
}

} // namespace lbench
