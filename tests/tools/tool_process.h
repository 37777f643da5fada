// SPDX-License-Identifier: MIT
// Running the built lcache-sim from a test: under the emulator when the
// tests are cross-compiled, with its output captured.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lcsimtest {

struct ToolRun {
    int status = -1; // the exit status; 128 + the signal for a killed process
    std::string out;
    std::string err;
};

class ToolProcess {
  public:
    // Starts lcache-sim with `args`; its standard output goes to `out_file`
    // when given, and is captured otherwise.
    explicit ToolProcess(const std::vector<std::string> &args, const char *out_file = nullptr);
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;
    // Kills a process still running.
    ~ToolProcess();

    // Reads its output until it exits.
    ToolRun wait();
    // Its exit status once it has exited within `timeout`; its output is
    // not read meanwhile, so it must not write much.
    std::optional<int> wait_for_exit(std::chrono::milliseconds timeout);
    void kill_now();
    // Asks it to stop (SIGTERM).
    void stop();

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

// Runs lcache-sim with `args` to the end.
ToolRun run_tool(const std::vector<std::string> &args, const char *out_file = nullptr);

// The processes whose command line holds `text`: an lcache-sim started
// with it, and the server processes it forked (a zombie's is empty).
std::vector<pid_t> processes_mentioning(const std::string &text);
// A socket connected (`how` is ::connect) or bound (::bind) at `path`.
int socket_at(const std::string &path, int (*how)(int, const sockaddr *, socklen_t));
// True once a server listens at `path`: a connection is taken.
bool accepting(const std::string &path);
std::string examples_dir();

// A directory of its own under the system's temporary directory, removed
// with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    std::string file(const std::string &name, const std::string &content) const;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// Waits up to `timeout` for `done` to hold.
template <class Done> bool eventually(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace lcsimtest
