// SPDX-License-Identifier: MIT
#include "host_command.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "run.h"

namespace lcsim {

namespace {

// The directory of the running program, with its final slash.
std::string own_directory() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1);
}

} // namespace

int run_host(char **argv) {
    // Both places are relative to this program, so an installed tree can
    // move: installed, the companion is in the libexec directory; in a build
    // tree, in its own directory beside this one's.
    const std::string here = own_directory();
    const std::string candidates[] = {here + LCSIM_HOST_FROM_BINDIR,
                                      here + "../lcache_sim_host/lcache-sim-host"};
    argv[0] = const_cast<char *>("lcache-sim host");
    int error = ENOENT;
    for (const std::string &program : candidates) {
        execv(program.c_str(), argv);
        error = errno;
    }
    std::fprintf(stderr, "lcache-sim: cannot run lcache-sim-host: %s (it comes with liblcache_linux)\n",
                 std::strerror(error));
    return tooluse::kExitMisuse;
}

} // namespace lcsim
