// SPDX-License-Identifier: MIT
// Backtraces to the system log.  Called on paths that are already going
// wrong, so it must cope with a failing allocator: frames are printed as
// bare addresses when backtrace_symbols cannot allocate.
#include "platform_util.h"

#include <execinfo.h>
#include <syslog.h>

#include <cstdlib>

namespace {

constexpr int kMaxFrames = 32;

} // namespace

extern "C" {

void syslog_backtrace(const char *function, int level) {
    void *frames[kMaxFrames];
    int depth = backtrace(frames, kMaxFrames);
    int priority = LOG_MAKEPRI(LOG_USER, level & LOG_PRIMASK);
    const char *who = function ? function : "?";
    syslog(priority, "%s: backtrace, %d frames", who, depth);
    char **names = backtrace_symbols(frames, depth);
    for (int i = 0; i < depth; ++i) {
        if (names)
            syslog(priority, "%s: #%d %s", who, i, names[i]);
        else
            syslog(priority, "%s: #%d %p", who, i, frames[i]);
    }
    free(names);
}

} // extern "C"
