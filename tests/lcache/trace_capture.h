// SPDX-License-Identifier: MIT
// Captures what the library hands to its trace and error sinks, and what
// it writes to the event history.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "histsvc.h"
#include "lcache.h"

namespace lctest {

using Texts = std::vector<std::string>;

struct SinkCall {
    uint32_t arg;     // first argument of the print callbacks (0 for printf sinks)
    std::string fmt;  // the format the library passed
    std::string text; // the formatted message
};

// The four sinks of the attribute block; each appends to its own list.
struct TraceCapture {
    static std::vector<SinkCall> debug_print_calls, debug_printf_calls, error_print_calls,
        error_printf_calls;
    static int debug_print(uint32_t arg, const char *fmt, ...);
    static int debug_printf(const char *fmt, ...);
    static int error_print(uint32_t arg, const char *fmt, ...);
    static int error_printf(const char *fmt, ...);
    static void clear();
    // The debug_print messages concatenated, as a printf sink would show them.
    static std::string debug_text();
    // The debug_print messages, one by one.
    static Texts traces();
};

// One record of the library's event history, decoded.
struct HistEntry {
    uint32_t level;
    uint32_t inst;
    uint32_t len;
    uint32_t header;
    std::string text;
};
std::vector<HistEntry> history(uint32_t uuid);
// The error reports among them, without the ": " every record starts with.
Texts errors(uint32_t uuid);

// An expected message, formatted as the library would.
[[gnu::format(printf, 1, 2)]] std::string text(const char *fmt, ...);

} // namespace lctest
