// SPDX-License-Identifier: MIT
#include "send_counter.h"

#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>

namespace {

std::atomic<uint64_t> sent{0};

template <typename F>
F *next_definition(const char *name) {
    return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name));
}

} // namespace

namespace lbench {

uint64_t requests_sent() { return sent.load(std::memory_order_relaxed); }

} // namespace lbench

extern "C" ssize_t sendmsg(int fd, const msghdr *message, int flags) {
    static auto *next = next_definition<ssize_t(int, const msghdr *, int)>("sendmsg");
    sent.fetch_add(1, std::memory_order_relaxed);
    return next(fd, message, flags);
}

extern "C" ssize_t sendto(int fd, const void *data, size_t length, int flags, const sockaddr *to,
                          socklen_t to_length) {
    static auto *next =
        next_definition<ssize_t(int, const void *, size_t, int, const sockaddr *, socklen_t)>("sendto");
    sent.fetch_add(1, std::memory_order_relaxed);
    return next(fd, data, length, flags, to, to_length);
}
