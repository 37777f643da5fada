// The scenario interpreter.
#include "replay.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "cache_settings.h"
#include "lcache.h"
#include "notification_text.h"
#include "queries.h"
#include "replay_syntax.h"
#include "run.h"
#include "sim/lcache_delivery.h"
#include "sim/peer_calls.h"
#include "trace_text.h"

namespace lcsim {
namespace {

using Words = std::span<const std::string>;
using sim::Change;
using sim::ChangeKind;

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

void expect_words(Words args, size_t count, const char *usage) {
    if (args.size() != count)
        throw ScenarioError(std::string("usage: ") + usage);
}

// A notification the switch sent and the cache has not been handed yet,
// described when it was sent, while its interfaces still had their names.
struct Pending {
    sim::Notification sent;
    std::string details;
};

class Replayer {
  public:
    explicit Replayer(Switchboard &board) : board_(board) {
        set_trace_output(&info_, &errors_);
        board_.build(std::nullopt);
    }
    Replayer(const Replayer &) = delete;
    Replayer &operator=(const Replayer &) = delete;
    ~Replayer() {
        if (initialised_)
            lcache_cleanup();
        lcache_error_cb = 0;
        set_trace_output(nullptr, nullptr);
    }

    void carry_out(const std::vector<std::string> &words) {
        const auto command = kCommands.find(words.front());
        if (command == kCommands.end())
            throw ScenarioError("unknown command '" + words.front() + "'");
        command->second(*this, Words(words).subspan(1));
        board_.check();
    }

    uint64_t queries() const { return queries_; }
    uint64_t disagreements() const { return disagreements_; }

  private:
    using Handler = std::function<void(Replayer &, Words)>;
    static const std::map<std::string, Handler, std::less<>> kCommands;

    static Handler changes_of(ChangeKind kind, size_t values, const char *usage) {
        return [=](Replayer &r, Words args) { r.interface_change(kind, args, values, usage); };
    }

    // ---- Output.

    // What the cache traced since the last call, one "| " line each.
    void traces() {
        auto print = [](std::string &text, const char *mark) {
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos)
                    end = text.size();
                std::printf("    %s %s\n", mark, text.substr(start, end - start).c_str());
                start = end + 1;
            }
            text.clear();
        };
        print(info_, "|");
        print(errors_, "!");
    }

    // ---- Names and targets.

    const sim::Interface &interface(const std::string &name) const {
        const sim::Interface *itf = board_.model().find_by_name(name);
        if (!itf)
            throw ScenarioError("no interface named '" + name + "'");
        return *itf;
    }

    Target target(const QueryKind &kind, const std::string &text) const {
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

    // ---- The switch.

    void change(const Change &c) {
        const sim::Applied applied = board_.apply(c);
        if (applied.added) {
            const sim::Interface &itf = board_.model().at(applied.added);
            std::string keys = "ifindex " + hex(itf.ifindex) + ", iod " + std::to_string(itf.iod);
            if (itf.pi != sim::kNoPi)
                keys += ", pi " + std::to_string(itf.pi);
            if (itf.lif != sim::kNoLif)
                keys += ", lif " + std::to_string(itf.lif);
            std::printf("  added %s: %s\n", itf.name.c_str(), keys.c_str());
        }
        if (applied.sent.empty())
            std::printf("  nothing is sent\n");
        for (const sim::Notification &n : applied.sent) {
            Pending p{n, notification_details(n, board_.model())};
            std::printf("  pending %s %s\n", notification_kind(n), p.details.c_str());
            pending_.push_back(std::move(p));
        }
    }

    void leaf(Words args) {
        const auto o =
            parse_options(args, {"ports", "port-channels", "members", "vlans", "first-vlan",
                                 "subinterfaces", "loopbacks", "mgmt", "slice"});
        sim::LeafOptions leaf;
        auto number = [&](const char *key, auto &field, uint32_t max) {
            if (auto it = o.find(key); it != o.end())
                field = static_cast<std::remove_reference_t<decltype(field)>>(
                    parse_number(it->second, max));
        };
        number("ports", leaf.ethernet_ports, 0xFFFFFFFF);
        number("port-channels", leaf.port_channels, 0xFFFFFFFF);
        number("members", leaf.members_per_channel, 0xFFFFFFFF);
        number("vlans", leaf.vlans, 0xFFFFFFFF);
        number("first-vlan", leaf.first_vlan, 0xFFFF);
        number("subinterfaces", leaf.subinterfaces, 0xFFFFFFFF);
        number("loopbacks", leaf.loopbacks, 0xFFFFFFFF);
        number("slice", leaf.slice, 0xFFFF);
        if (auto it = o.find("mgmt"); it != o.end())
            leaf.management = parse_choice(it->second, "yes", "no");
        board_.build(leaf);
        pending_.clear();
        std::printf("  leaf: %zu interfaces, %zu VLANs\n", board_.model().interfaces().size(),
                    board_.model().vlans().size());
    }

    void empty(Words args) {
        expect_words(args, 0, "empty");
        board_.build(std::nullopt);
        pending_.clear();
        std::printf("  empty switch\n");
    }

    void add(Words args) {
        if (args.empty())
            throw ScenarioError("usage: add KIND ...");
        const std::string &kind = args[0];
        Change c;
        if (kind == "ethernet") {
            expect_words(args, 2, "add ethernet MODULE/PORT");
            const size_t slash = args[1].find('/');
            if (slash == std::string::npos)
                throw ScenarioError("expected MODULE/PORT, not '" + args[1] + "'");
            c = {ChangeKind::add_ethernet, 0, parse_number(args[1].substr(0, slash)),
                 parse_number(args[1].substr(slash + 1))};
        } else if (kind == "mgmt" || kind == "port-channel" || kind == "loopback" ||
                   kind == "vlan" || kind == "vlan-interface") {
            expect_words(args, 2, "add mgmt|port-channel|loopback|vlan|vlan-interface N");
            const ChangeKind k = kind == "mgmt"           ? ChangeKind::add_mgmt
                                 : kind == "port-channel" ? ChangeKind::add_port_channel
                                 : kind == "loopback"     ? ChangeKind::add_loopback
                                 : kind == "vlan"         ? ChangeKind::add_vlan
                                                          : ChangeKind::add_vlan_interface;
            c = {k, 0, parse_number(args[1])};
        } else if (kind == "subinterface") {
            expect_words(args, 4, "add subinterface PARENT NUMBER VLAN");
            c = {ChangeKind::add_subinterface, interface(args[1]).ifindex, parse_number(args[2]),
                 parse_number(args[3])};
        } else if (kind == "null0") {
            expect_words(args, 1, "add null0");
            c = {ChangeKind::add_null0};
        } else if (kind == "tunnel") {
            expect_words(args, 3, "add tunnel gre|stretch|mpls|6to4 N");
            static const std::map<std::string, sim::IfType, std::less<>> kTunnels = {
                {"gre", sim::IfType::gre_tunnel},
                {"stretch", sim::IfType::stretch_tunnel},
                {"mpls", sim::IfType::mpls_tunnel},
                {"6to4", sim::IfType::six_to_four_tunnel}};
            const auto type = kTunnels.find(args[1]);
            if (type == kTunnels.end())
                throw ScenarioError("no tunnel kind '" + args[1] + "'");
            c = {ChangeKind::add_tunnel, 0, sim::type_code(type->second), parse_number(args[2])};
        } else {
            throw ScenarioError("cannot add '" + kind + "'");
        }
        change(c);
    }

    // Commands of the form `NAME IF VALUE...`.
    void interface_change(ChangeKind kind, Words args, size_t values, const char *usage) {
        expect_words(args, values + 1, usage);
        Change c{kind, interface(args[0]).ifindex};
        uint32_t *fields[] = {&c.arg1, &c.arg2, &c.arg3};
        for (size_t i = 0; i < values; ++i)
            *fields[i] = parse_number(args[i + 1]);
        change(c);
    }

    void up_down(ChangeKind kind, Words args, const char *usage) {
        expect_words(args, 2, usage);
        change({kind, interface(args[0]).ifindex, parse_choice(args[1], "up", "down") ? 1u : 0u});
    }

    void mac(Words args) {
        expect_words(args, 2, "mac IF xxxx.xxxx.xxxx");
        Change c{ChangeKind::set_mac, interface(args[0]).ifindex};
        c.mac = parse_mac(args[1]);
        change(c);
    }

    void switchport(Words args) {
        expect_words(args, 2, "switchport IF routed|access|trunk");
        static const std::map<std::string, sim::SwitchportMode, std::less<>> kModes = {
            {"routed", sim::SwitchportMode::routed},
            {"access", sim::SwitchportMode::access},
            {"trunk", sim::SwitchportMode::trunk}};
        const auto mode = kModes.find(args[1]);
        if (mode == kModes.end())
            throw ScenarioError("no switchport mode '" + args[1] + "'");
        change({ChangeKind::set_switchport_mode, interface(args[0]).ifindex,
                static_cast<uint32_t>(mode->second)});
    }

    void switching(Words args) {
        expect_words(args, 2, "switching IF on|off");
        change({ChangeKind::set_switching, interface(args[0]).ifindex,
                parse_choice(args[1], "on", "off") ? 1u : 0u});
    }

    void member(Words args) {
        expect_words(args, 3, "member add|remove|up|down CHANNEL PORT");
        const uint32_t channel = interface(args[1]).ifindex;
        const uint32_t port = interface(args[2]).ifindex;
        const std::string &op = args[0];
        if (op == "add")
            change({ChangeKind::add_member, channel, port, 1});
        else if (op == "remove")
            change({ChangeKind::remove_member, channel, port});
        else
            change({ChangeKind::set_member_operational, channel, port,
                    parse_choice(op, "up", "down") ? 1u : 0u});
    }

    void remove(Words args) {
        expect_words(args, 1, "remove IF");
        change({ChangeKind::remove_interface, interface(args[0]).ifindex});
    }

    void vlan_change(ChangeKind kind, Words args, const char *usage) {
        expect_words(args, 2, usage);
        change({kind, 0, parse_number(args[0]), parse_number(args[1])});
    }

    // ---- Notifications.

    void notify(Words args) {
        expect_words(args, 0, "notify");
        if (pending_.empty())
            std::printf("  nothing is pending\n");
        std::vector<Pending> sending = std::move(pending_);
        pending_.clear();
        for (const Pending &p : sending) {
            const uint64_t before = sim::total_calls();
            const int32_t result = sim::deliver(p.sent);
            report_call(std::string(entry_point(p.sent)) + " " + p.details + " = " +
                            std::to_string(result),
                        before);
        }
    }

    void drop(Words args) {
        expect_words(args, 0, "drop");
        std::printf("  dropped %zu notification%s\n", pending_.size(),
                    pending_.size() == 1 ? "" : "s");
        pending_.clear();
    }

    // "  <what>, N peer calls", then the cache's traces.
    void report_call(const std::string &what, uint64_t calls_before) {
        const uint64_t calls = sim::total_calls() - calls_before;
        std::printf("  %s, %llu peer call%s\n", what.c_str(),
                    static_cast<unsigned long long>(calls), calls == 1 ? "" : "s");
        traces();
    }

    // ---- The cache.

    void init(Words args) {
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

    void cleanup(Words args) {
        expect_words(args, 0, "cleanup");
        std::printf("  lcache_cleanup = %u\n", lcache_cleanup());
        initialised_ = false;
        traces();
    }

    void disable(Words args) {
        expect_words(args, 0, "disable");
        lcache_disable_cache();
        std::printf("  lcache_disable_cache\n");
    }

    void restore(Words args) {
        expect_words(args, 0, "restore");
        lcache_restore_cache();
        std::printf("  lcache_restore_cache\n");
    }

    void query(Words args) {
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
        std::printf("  %s, %llu peer call%s%s\n", line.c_str(),
                    static_cast<unsigned long long>(calls), calls == 1 ? "" : "s",
                    agrees ? "" : "  DISAGREES");
        traces();
    }

    void flush(Words args) {
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
            report_call("lcache_if_flush_if(" + hex(itf.ifindex) + ", " + std::to_string(option) +
                            ")",
                        before);
        }
    }

    void refresh(Words args) {
        expect_words(args, 1, "refresh IF");
        const sim::Interface &itf = interface(args[0]);
        const uint64_t before = sim::total_calls();
        const uint32_t result = lcache_if_update_if(itf.ifindex);
        report_call("lcache_if_update_if(" + hex(itf.ifindex) + ") = " + std::to_string(result),
                    before);
    }

    void dump(Words args) {
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

    Switchboard &board_;
    std::vector<Pending> pending_;
    std::string info_;
    std::string errors_;
    bool initialised_ = false;
    uint64_t queries_ = 0;
    uint64_t disagreements_ = 0;
};

const std::map<std::string, Replayer::Handler, std::less<>> Replayer::kCommands = {
    {"leaf", &Replayer::leaf},
    {"empty", &Replayer::empty},
    {"add", &Replayer::add},
    {"remove", &Replayer::remove},
    {"link", [](Replayer &r, Words a) { r.up_down(ChangeKind::set_link, a, "link IF up|down"); }},
    {"protocol",
     [](Replayer &r, Words a) { r.up_down(ChangeKind::set_protocol, a, "protocol IF up|down"); }},
    {"mtu", changes_of(ChangeKind::set_mtu, 1, "mtu IF N")},
    {"mac", &Replayer::mac},
    {"encap", changes_of(ChangeKind::set_encap, 1, "encap IF N")},
    {"vlan", changes_of(ChangeKind::set_vlan, 1, "vlan IF VLAN")},
    {"switchport", &Replayer::switchport},
    {"switching", &Replayer::switching},
    {"port-mode", changes_of(ChangeKind::set_port_mode, 1, "port-mode IF N")},
    {"extension", changes_of(ChangeKind::set_extension, 2, "extension IF KEY VALUE")},
    {"private-data", changes_of(ChangeKind::set_private_data, 3, "private-data IF KEY VALUE SIZE")},
    {"set-iod", changes_of(ChangeKind::set_iod, 1, "set-iod IF N")},
    {"set-pi", changes_of(ChangeKind::set_pi, 1, "set-pi IF N")},
    {"set-lif", changes_of(ChangeKind::set_lif, 1, "set-lif IF N")},
    {"member", &Replayer::member},
    {"vlan-bd",
     [](Replayer &r, Words a) { r.vlan_change(ChangeKind::set_vlan_bd, a, "vlan-bd VLAN BD"); }},
    {"flood-index",
     [](Replayer &r, Words a) {
         r.vlan_change(ChangeKind::set_flood_index, a, "flood-index BD INDEX");
     }},
    {"primary-vlan",
     [](Replayer &r, Words a) {
         r.vlan_change(ChangeKind::set_primary_vlan, a, "primary-vlan VLAN PRIMARY");
     }},
    {"notify", &Replayer::notify},
    {"drop", &Replayer::drop},
    {"init", &Replayer::init},
    {"cleanup", &Replayer::cleanup},
    {"disable", &Replayer::disable},
    {"restore", &Replayer::restore},
    {"query", &Replayer::query},
    {"flush", &Replayer::flush},
    {"refresh", &Replayer::refresh},
    {"dump", &Replayer::dump},
};

// Carries out every line; a line that fails stops the scenario.
void play(std::istream &in, Replayer &replayer, const std::string &file) {
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        const std::vector<std::string> words = split_words(text);
        if (words.empty()) {
            const size_t start = text.find_first_not_of(" \t\r");
            std::printf("%s\n", start == std::string::npos ? "" : text.substr(start).c_str());
            continue;
        }
        std::string echo = ">";
        for (const std::string &w : words)
            echo += " " + w;
        std::printf("%s\n", echo.c_str());
        try {
            replayer.carry_out(words);
        } catch (const ScenarioError &e) {
            throw ScenarioError(file + ":" + std::to_string(line) + ": " + e.what());
        } catch (const sim::ModelError &e) {
            throw ScenarioError(file + ":" + std::to_string(line) + ": " + e.what());
        }
    }
}

} // namespace

int replay(const ReplayOptions &options) {
    std::ifstream in(options.file);
    if (!in) {
        std::fprintf(stderr, "lcache-sim: cannot open %s\n", options.file.c_str());
        return kExitBadInput;
    }
    try {
        auto board = open_switchboard(options.peers, options.socket);
        Replayer replayer(*board);
        play(in, replayer, options.file);
        std::printf("= %llu queries, %llu disagreeing\n",
                    static_cast<unsigned long long>(replayer.queries()),
                    static_cast<unsigned long long>(replayer.disagreements()));
        return replayer.disagreements() == 0 ? 0 : kExitDisagreement;
    } catch (const ScenarioError &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        return kExitBadInput;
    } catch (const std::exception &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "lcache-sim: %s\n", e.what());
        return kExitFailed;
    }
}

} // namespace lcsim
