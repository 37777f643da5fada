// SPDX-License-Identifier: MIT
// The scenario commands that start, query, flush and print the cache.
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "cache_settings.h"
#include "change_text.h"
#include "lcache.h"
#include "replay_session.h"
#include "sim/peer_calls.h"
#include "trace_text.h"

namespace lcsim {

Target Replayer::target(const QueryKind &kind, const std::string &text) const {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        const sim::Interface &itf = interface(text);
        if (kind.key == Key::vlan && kept_vlan(itf) == 0)
            throw ScenarioError(text + " carries no VLAN");
        return target_of(itf, board_.model().slice());
    }
    const std::string key = text.substr(0, colon);
    if (key != key_name(kind.key))
        throw ScenarioError(std::string("query ") + kind.name + " takes an interface or " +
                            key_name(kind.key) + ":N, not '" + text + "'");
    Target t;
    t.slice = board_.model().slice();
    const std::string_view number = std::string_view(text).substr(colon + 1);
    switch (kind.key) {
    case Key::iod: t.iod = parse_number(number); break;
    case Key::ifindex: t.ifindex = parse_number(number); break;
    case Key::pi: t.pi = parse_number(number); break;
    case Key::lif: t.lif = parse_number(number); break;
    case Key::vlan: t.vlan = static_cast<uint16_t>(parse_number(number, 0xFFFF)); break;
    }
    return t;
}

void Replayer::init(Words args) {
    const auto o = parse_options(
        args, {"profile", "sync", "crit", "med", "low", "once", "table-size", "l3-track"});
    CacheSettings settings;
    if (auto it = o.find("profile"); it != o.end())
        settings.profile = it->second;
    auto mask = [&](const char *key, std::optional<uint32_t> &field) {
        if (auto it = o.find(key); it != o.end())
            field = parse_number(it->second);
    };
    mask("sync", settings.sync_mask);
    mask("crit", settings.crit_mask);
    mask("med", settings.med_mask);
    mask("low", settings.low_mask);
    mask("once", settings.once_mask);
    if (auto it = o.find("table-size"); it != o.end())
        settings.table_size = parse_number(it->second);
    if (auto it = o.find("l3-track"); it != o.end())
        settings.l3_track = parse_choice(it->second, "yes", "no");
    lcache_attr attr;
    try {
        attr = make_attributes(settings);
    } catch (const std::invalid_argument &e) {
        throw ScenarioError(e.what());
    }
    attr.error_printf = error_printf;
    lcache_error_cb = 1;
    const uint32_t result = lcache_init(&attr);
    initialised_ = true;
    lcache_set_print(trace_print, 0);
    // The block as the cache holds it: lcache_init adds the type bit.
    const lcache_attr &held = lcache.attr;
    std::printf("  lcache_init: sync 0x%x, crit 0x%x, med 0x%x, low 0x%x, once 0x%x = %u\n",
                held.sync_mask, held.crit_mask, held.med_mask, held.low_mask, held.once_mask,
                result);
    traces();
}

void Replayer::cleanup(Words args) {
    expect_words(args, 0, "cleanup");
    const uint32_t result = lcache_cleanup();
    std::printf("  lcache_cleanup = %u\n", result);
    initialised_ = false;
    if (result == 1) // it dropped every watch
        watch_ = vlan_watch_ = -1;
    traces();
}

// `watch all` or `watch MASK` selects the updates heard; added and removed
// entries are heard whatever the mask.  A new watch replaces the last.
void Replayer::watch(Words args) {
    expect_words(args, 1, "watch all|MASK");
    const uint32_t mask = args[0] == "all" ? 0xFFFFFFFFu : parse_number(args[0]);
    stop_watching();
    watch_ = lcache_watch_add(mask, heard, this);
    vlan_watch_ = lcache_vlan_watch_add(mask, heard_vlan, this);
    if (watch_ < 0 || vlan_watch_ < 0) {
        const int failed = watch_ < 0 ? watch_ : vlan_watch_;
        stop_watching();
        throw ScenarioError("the cache refused the watch: " + std::to_string(failed));
    }
    std::printf("  watching 0x%x\n", mask);
}

void Replayer::unwatch(Words args) {
    expect_words(args, 0, "unwatch");
    if (watch_ < 0)
        std::printf("  nothing is watched\n");
    else
        std::printf("  unwatched\n");
    stop_watching();
}

void Replayer::stop_watching() {
    if (watch_ >= 0)
        lcache_watch_remove(watch_);
    if (vlan_watch_ >= 0)
        lcache_vlan_watch_remove(vlan_watch_);
    watch_ = vlan_watch_ = -1;
}

void Replayer::heard(const lcache_change_t *change, void *replayer) {
    static_cast<Replayer *>(replayer)->events_ += tooltext::change_text(*change) + "\n";
}

void Replayer::heard_vlan(const lcache_vlan_change_t *change, void *replayer) {
    static_cast<Replayer *>(replayer)->events_ += tooltext::vlan_change_text(*change) + "\n";
}

void Replayer::disable(Words args) {
    expect_words(args, 0, "disable");
    lcache_disable_cache();
    std::printf("  lcache_disable_cache\n");
}

void Replayer::restore(Words args) {
    expect_words(args, 0, "restore");
    lcache_restore_cache();
    std::printf("  lcache_restore_cache\n");
}

void Replayer::query(Words args) {
    expect_words(args, 2, "query KIND TARGET");
    const QueryKind *kind = find_query(args[0]);
    if (!kind)
        throw ScenarioError("no query named '" + args[0] + "'");
    const Target t = target(*kind, args[1]);
    const uint64_t before = sim::total_calls();
    const Answer cached = kind->cached(t);
    const uint64_t calls = sim::total_calls() - before;
    const std::string cached_text = kind->show(cached);
    const Answer direct = kind->direct(t);
    const bool agrees = kind->agree(cached, direct);
    ++queries_;
    disagreements_ += agrees ? 0 : 1;
    std::string line = std::string(kind->function) + " " + args[1] + " = " + cached_text;
    if (cached.status != 0)
        line += " status " + hex(cached.status);
    line += " (peer " + kind->show(direct) + ")";
    std::printf("  %s, %llu peer call%s%s\n", line.c_str(), static_cast<unsigned long long>(calls),
                calls == 1 ? "" : "s", agrees ? "" : "  DISAGREES");
    traces();
}

void Replayer::flush(Words args) {
    if (args.size() == 3 && args[0] == "vlan") {
        const auto vlan = static_cast<uint16_t>(parse_number(args[1], 0xFFFF));
        const uint32_t option = parse_number(args[2]);
        const uint64_t before = sim::total_calls();
        const uint32_t result = lcache_vlan_flush_vlan(vlan, option);
        report_call("lcache_vlan_flush_vlan(" + std::to_string(vlan) + ", " +
                        std::to_string(option) + ") = " + std::to_string(result),
                    before);
        return;
    }
    expect_words(args, 2, "flush all|vlans|IF OPTION, or flush vlan V OPTION");
    const uint32_t option = parse_number(args[1]);
    const uint64_t before = sim::total_calls();
    if (args[0] == "all") {
        const uint32_t result = lcache_if_flush_all(option);
        report_call("lcache_if_flush_all(" + std::to_string(option) +
                        ") = " + std::to_string(result),
                    before);
    } else if (args[0] == "vlans") {
        const uint32_t result = lcache_vlan_flush_all(option);
        report_call("lcache_vlan_flush_all(" + std::to_string(option) +
                        ") = " + std::to_string(result),
                    before);
    } else {
        const sim::Interface &itf = interface(args[0]);
        lcache_if_flush_if(itf.ifindex, option);
        report_call("lcache_if_flush_if(" + hex(itf.ifindex) + ", " + std::to_string(option) + ")",
                    before);
    }
}

void Replayer::refresh(Words args) {
    expect_words(args, 1, "refresh IF");
    const sim::Interface &itf = interface(args[0]);
    const uint64_t before = sim::total_calls();
    const uint32_t result = lcache_if_update_if(itf.ifindex);
    report_call("lcache_if_update_if(" + hex(itf.ifindex) + ") = " + std::to_string(result),
                before);
}

void Replayer::dump(Words args) {
    if (args.empty()) {
        lcache_dump();
        lcache_vlan_dump();
    } else if (args.size() == 1 && args[0] == "entries") {
        lcache_if_dump();
    } else if (args.size() == 2 && args[0] == "vlan") {
        lcache_vlan_print(static_cast<uint16_t>(parse_number(args[1], 0xFFFF)));
    } else if (args.size() == 1) {
        lcache_if_print_iod(interface(args[0]).iod);
    } else {
        throw ScenarioError("usage: dump [entries | IF | vlan V]");
    }
    traces();
}

} // namespace lcsim
