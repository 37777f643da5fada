// SPDX-License-Identifier: MIT
// The scenario interpreter's state and commands (see replay.h), shared by
// the files that carry them out: replay.cc (reading the file, output),
// replay_switch.cc (the switch and its notifications), replay_cache.cc
// (the cache).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "lcache.h"
#include "queries.h"
#include "replay_syntax.h"
#include "sim/change.h"
#include "switchboard.h"

namespace lcsim {

using Words = std::span<const std::string>;

std::string hex(uint32_t value);
// Throws ScenarioError with `usage` unless there are `count` words.
void expect_words(Words args, size_t count, const char *usage);

// A notification the switch sent and the cache has not been handed yet,
// described when it was sent, while its interfaces still had their names.
struct Pending {
    sim::Notification sent;
    std::string details;
    uint64_t change; // which change sent it: one change's are one operation
};

class Replayer {
  public:
    explicit Replayer(Switchboard &board);
    Replayer(const Replayer &) = delete;
    Replayer &operator=(const Replayer &) = delete;
    ~Replayer();

    // One line's words; throws ScenarioError or sim::ModelError.
    void carry_out(const std::vector<std::string> &words);

    uint64_t queries() const { return queries_; }
    uint64_t disagreements() const { return disagreements_; }

  private:
    using Handler = std::function<void(Replayer &, Words)>;
    static const std::map<std::string, Handler, std::less<>> kCommands;
    static Handler changes_of(sim::ChangeKind kind, size_t values, const char *usage);

    // Output: what the cache traced since the last call, one "| " line
    // each (errors "! "), then the events heard, one "@ " line each; an
    // operation's line with the peer calls it made, then those.
    void traces();
    void report_call(const std::string &what, uint64_t calls_before);

    const sim::Interface &interface(const std::string &name) const;
    Target target(const QueryKind &kind, const std::string &text) const;

    // The switch.
    void change(const sim::Change &c);
    void leaf(Words args);
    void empty(Words args);
    void add(Words args);
    // Commands of the form `NAME IF VALUE...`.
    void interface_change(sim::ChangeKind kind, Words args, size_t values, const char *usage);
    void up_down(sim::ChangeKind kind, Words args, const char *usage);
    void mac(Words args);
    void switchport(Words args);
    void switching(Words args);
    void member(Words args);
    void remove(Words args);
    void vlan_change(sim::ChangeKind kind, Words args, const char *usage);
    void notify(Words args);
    void drop(Words args);

    // The watch whose events the trace shows.
    void watch(Words args);
    void unwatch(Words args);
    void stop_watching();
    static void heard(const lcache_change_t *change, void *replayer);
    static void heard_vlan(const lcache_vlan_change_t *change, void *replayer);

    // The cache.
    void init(Words args);
    void cleanup(Words args);
    void disable(Words args);
    void restore(Words args);
    void query(Words args);
    void flush(Words args);
    void refresh(Words args);
    void dump(Words args);

    Switchboard &board_;
    std::vector<Pending> pending_;
    std::string info_;
    std::string errors_;
    std::string events_;
    uint64_t changes_ = 0;
    int watch_ = -1;
    int vlan_watch_ = -1;
    bool initialised_ = false;
    uint64_t queries_ = 0;
    uint64_t disagreements_ = 0;
};

} // namespace lcsim
