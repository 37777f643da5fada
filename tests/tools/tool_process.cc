// SPDX-License-Identifier: MIT
#include "tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "sim/ipc_protocol.h"

extern char **environ;

namespace lcsimtest {
namespace {

// The emulator's command line, its words separated by '|'.
std::vector<std::string> emulator() {
    std::vector<std::string> words;
    std::istringstream line(LCSIM_EMULATOR);
    for (std::string word; std::getline(line, word, '|');)
        if (!word.empty())
            words.push_back(word);
    return words;
}

int exit_status(int wait_status) {
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    return 128 + WTERMSIG(wait_status);
}

void read_some(int &fd, std::string &into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else {
        close(fd);
        fd = -1;
    }
}

} // namespace

std::string examples_dir() { return LCSIM_EXAMPLES; }

ToolProcess::ToolProcess(const std::vector<std::string> &args, const char *out_file) {
    std::vector<std::string> words = emulator();
    words.push_back(LCSIM_PROGRAM);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out_file)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file, O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (out_file) {
        close(out_);
        out_ = -1;
    }
    if (failed != 0)
        throw std::runtime_error("cannot start " + words.front());
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        close(out_);
    if (err_ >= 0)
        close(err_);
}

ToolRun ToolProcess::wait() {
    ToolRun run;
    while (out_ >= 0 || err_ >= 0) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        poll(fds, 2, -1);
        if (fds[0].revents)
            read_some(out_, run.out);
        if (fds[1].revents)
            read_some(err_, run.err);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    run.status = exit_status(status);
    return run;
}

std::optional<int> ToolProcess::wait_for_exit(std::chrono::milliseconds timeout) {
    int status = 0;
    if (!eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout))
        return std::nullopt;
    pid_ = -1;
    return exit_status(status);
}

void ToolProcess::kill_now() { kill(pid_, SIGKILL); }
void ToolProcess::stop() { kill(pid_, SIGTERM); }

ToolRun run_tool(const std::vector<std::string> &args, const char *out_file) {
    return ToolProcess(args, out_file).wait();
}

std::vector<pid_t> processes_mentioning(const std::string &text) {
    std::vector<pid_t> found;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream cmdline(entry.path() / "cmdline");
        const std::string words{std::istreambuf_iterator<char>(cmdline), {}};
        if (words.find(text) != std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

int socket_at(const std::string &path, int (*how)(int, const sockaddr *, socklen_t)) {
    sockaddr_un address;
    const int fd = sim::ipc::unix_socket(path, address);
    if (how(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error("cannot reach " + path + ": " + std::strerror(errno));
    }
    return fd;
}

bool accepting(const std::string &path) {
    try {
        close(socket_at(path, ::connect));
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lcsim-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::file(const std::string &name, const std::string &content) const {
    const std::string p = path(name);
    std::ofstream(p) << content;
    return p;
}

} // namespace lcsimtest
