// SPDX-License-Identifier: MIT
// The scenario interpreter: reading the file, the commands, the output.
#include "replay.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "lcache.h"
#include "replay_session.h"
#include "run.h"
#include "sim/peer_calls.h"
#include "trace_text.h"

namespace lcsim {

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

void expect_words(Words args, size_t count, const char *usage) {
    if (args.size() != count)
        throw ScenarioError(std::string("usage: ") + usage);
}

Replayer::Replayer(Switchboard &board) : board_(board) {
    set_trace_output(&info_, &errors_);
    board_.build(std::nullopt);
}

Replayer::~Replayer() {
    stop_watching();
    if (initialised_)
        lcache_cleanup();
    lcache_error_cb = 0;
    set_trace_output(nullptr, nullptr);
}

void Replayer::carry_out(const std::vector<std::string> &words) {
    const auto command = kCommands.find(words.front());
    if (command == kCommands.end())
        throw ScenarioError("unknown command '" + words.front() + "'");
    command->second(*this, Words(words).subspan(1));
    board_.check();
}

// What the cache traced since the last call, one "| " line each.
void Replayer::traces() {
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
    print(events_, "@");
}

// "  <what>, N peer calls", then the cache's traces.
void Replayer::report_call(const std::string &what, uint64_t calls_before) {
    const uint64_t calls = sim::total_calls() - calls_before;
    std::printf("  %s, %llu peer call%s\n", what.c_str(), static_cast<unsigned long long>(calls),
                calls == 1 ? "" : "s");
    traces();
}

const sim::Interface &Replayer::interface(const std::string &name) const {
    const sim::Interface *itf = board_.model().find_by_name(name);
    if (!itf)
        throw ScenarioError("no interface named '" + name + "'");
    return *itf;
}

Replayer::Handler Replayer::changes_of(sim::ChangeKind kind, size_t values, const char *usage) {
    return [=](Replayer &r, Words args) { r.interface_change(kind, args, values, usage); };
}

const std::map<std::string, Replayer::Handler, std::less<>> Replayer::kCommands = {
    {"leaf", &Replayer::leaf},
    {"empty", &Replayer::empty},
    {"add", &Replayer::add},
    {"remove", &Replayer::remove},
    {"link",
     [](Replayer &r, Words a) { r.up_down(sim::ChangeKind::set_link, a, "link IF up|down"); }},
    {"protocol",
     [](Replayer &r, Words a) {
         r.up_down(sim::ChangeKind::set_protocol, a, "protocol IF up|down");
     }},
    {"mtu", changes_of(sim::ChangeKind::set_mtu, 1, "mtu IF N")},
    {"mac", &Replayer::mac},
    {"encap", changes_of(sim::ChangeKind::set_encap, 1, "encap IF N")},
    {"vlan", changes_of(sim::ChangeKind::set_vlan, 1, "vlan IF VLAN")},
    {"switchport", &Replayer::switchport},
    {"switching", &Replayer::switching},
    {"port-mode", changes_of(sim::ChangeKind::set_port_mode, 1, "port-mode IF N")},
    {"extension", changes_of(sim::ChangeKind::set_extension, 2, "extension IF KEY VALUE")},
    {"private-data",
     changes_of(sim::ChangeKind::set_private_data, 3, "private-data IF KEY VALUE SIZE")},
    {"set-iod", changes_of(sim::ChangeKind::set_iod, 1, "set-iod IF N")},
    {"set-pi", changes_of(sim::ChangeKind::set_pi, 1, "set-pi IF N")},
    {"set-lif", changes_of(sim::ChangeKind::set_lif, 1, "set-lif IF N")},
    {"member", &Replayer::member},
    {"vlan-bd", [](Replayer &r,
                   Words a) { r.vlan_change(sim::ChangeKind::set_vlan_bd, a, "vlan-bd VLAN BD"); }},
    {"flood-index",
     [](Replayer &r, Words a) {
         r.vlan_change(sim::ChangeKind::set_flood_index, a, "flood-index BD INDEX");
     }},
    {"primary-vlan",
     [](Replayer &r, Words a) {
         r.vlan_change(sim::ChangeKind::set_primary_vlan, a, "primary-vlan VLAN PRIMARY");
     }},
    {"notify", &Replayer::notify},
    {"watch", &Replayer::watch},
    {"unwatch", &Replayer::unwatch},
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

namespace {

// A line longer than this is not a scenario's: it is refused rather than
// held in memory whole.
constexpr size_t kMaxLineLength = 4096;

// The next line, without its end; false at the end of the file.
bool read_line(std::istream &in, std::string &line) {
    line.clear();
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n')
            return true;
        if (line.size() == kMaxLineLength)
            throw ScenarioError("a line is longer than " + std::to_string(kMaxLineLength) +
                                " characters");
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

// Carries out every line; a line that fails stops the scenario.
void play(std::istream &in, Replayer &replayer, const std::string &file) {
    std::string text;
    int line = 1;
    auto where = [&] { return file + ":" + std::to_string(line) + ": "; };
    try {
        for (; read_line(in, text); ++line) {
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
            replayer.carry_out(words);
        }
    } catch (const ScenarioError &e) {
        throw ScenarioError(where() + e.what());
    } catch (const sim::ModelError &e) {
        throw ScenarioError(where() + e.what());
    }
    if (in.bad())
        throw ScenarioError(where() + "cannot read it any further");
}

// Why `file` cannot be read as a scenario, or empty once `in` has it open.
std::string open_scenario(const std::string &file, std::ifstream &in) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return std::strerror(EISDIR);
    errno = 0;
    in.open(file);
    if (!in)
        return std::strerror(errno != 0 ? errno : EIO);
    return "";
}

} // namespace

int replay(const ReplayOptions &options) {
    std::ifstream in;
    if (const std::string problem = open_scenario(options.file, in); !problem.empty()) {
        std::fprintf(stderr, "lcache-sim: cannot open %s: %s\n", options.file.c_str(),
                     problem.c_str());
        return tooluse::kExitMisuse;
    }
    try {
        auto board = open_switchboard(options.peers, options.socket, options.ipc_timeout_ms);
        Replayer replayer(*board);
        play(in, replayer, options.file);
        std::printf("= %llu queries, %llu disagreeing\n",
                    static_cast<unsigned long long>(replayer.queries()),
                    static_cast<unsigned long long>(replayer.disagreements()));
        return replayer.disagreements() == 0 ? 0 : tooluse::kExitFailed;
    } catch (const ScenarioError &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        return tooluse::kExitMisuse;
    } catch (const std::exception &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "lcache-sim: %s\n", e.what());
        return tooluse::kExitFailed;
    }
}

} // namespace lcsim
