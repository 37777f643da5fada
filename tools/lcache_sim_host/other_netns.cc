// SPDX-License-Identifier: MIT
#include "other_netns.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace lchost {
namespace {

// The child: a namespace of its own, reported on `ready` (0 or the errno),
// held until `hold` closes.
[[noreturn]] void hold_namespace(int ready, int hold) {
    int error = unshare(CLONE_NEWNET) == 0 ? 0 : errno;
    unsigned char status = static_cast<unsigned char>(error);
    ssize_t written = write(ready, &status, 1);
    char byte;
    while (written == 1 && error == 0 && read(hold, &byte, 1) > 0) {
    }
    _exit(0);
}

// Forks a child into a new namespace and opens it through the child's
// /proc entry; the open descriptor keeps the namespace once the child
// has gone.
int open_fresh_namespace() {
    int ready[2], hold[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return -errno;
    if (pipe2(hold, O_CLOEXEC) != 0) {
        int error = -errno;
        close(ready[0]);
        close(ready[1]);
        return error;
    }
    pid_t child = fork();
    if (child == 0) {
        // Nothing of the parent's (its netlink sockets above all) stays
        // open in the child.
        dup2(ready[1], 0);
        dup2(hold[0], 1);
        close_range(3, ~0U, 0);
        hold_namespace(0, 1);
    }
    int fork_error = child < 0 ? -errno : 0;
    close(ready[1]);
    close(hold[0]);
    unsigned char status = EIO;
    int result = fork_error;
    if (result == 0 && read(ready[0], &status, 1) != 1)
        result = -EIO;
    else if (result == 0 && status != 0)
        result = -status;
    if (result == 0) {
        std::string path = "/proc/" + std::to_string(child) + "/ns/net";
        result = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (result < 0)
            result = -errno;
    }
    close(ready[0]);
    close(hold[1]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return result;
}

} // namespace

OtherNetns::~OtherNetns() {
    if (fd_ >= 0)
        close(fd_);
}

int OtherNetns::fd() {
    if (fd_ < 0)
        fd_ = open_fresh_namespace();
    return fd_;
}

} // namespace lchost
