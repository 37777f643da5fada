// SPDX-License-Identifier: MIT
// Shared internals of liblcache: the trace convention, counters and small
// helpers every unit uses.  Nothing here is exported.
#pragma once

#include <cstdint>

#include "lcache.h"

namespace lc {

constexpr uint32_t kHistInst = 0x730000; // event-history instance of the library
constexpr uint32_t kHistLevelInfo = 1;
constexpr uint32_t kHistLevelError = 2;
constexpr uint32_t kHistTextSize = 200; // text area of a record, NUL included

inline lcache_attr &attr() { return lcache.attr; }
inline lcache_stats_t &stats() { return lcache.stats; }

// True when every bit of `mask` is set in `word`.
constexpr bool all_set(uint32_t word, uint32_t mask) { return (word & mask) == mask; }

// A table object that ht_init never filled has no buckets.
inline bool table_exists(const ht_table_t &table) { return table.num_buckets != 0; }

// Hands every entry of a table that is about to be released to `release`,
// walking the chains in place (the layout ht.h publishes) rather than
// through the iterator: giving everything back must not hinge on a call
// that can fail.  Each link is read before its entry goes.
template <class Release> void release_chained(const ht_table_t &table, Release release) {
    for (uint32_t b = 0; table.buckets && b < table.num_buckets; ++b) {
        for (ht_link_t *link = table.buckets[b]; link;) {
            ht_link_t *next = link->next;
            release(reinterpret_cast<char *>(link) - table.link_offset);
            link = next;
        }
    }
}

// Formats into the history record and hands it to the event-history log.
// A C variadic function on purpose: the caller's arguments reach vsnprintf
// exactly as they would reach printf.
void log_history(uint32_t header, uint32_t level, const char *fmt, ...);

// Formats the error text into lcache_print_str.
void format_error(const char *fmt, ...);

// Nonzero while a client's trace or error callback runs.  The operation
// that traced is still using its entry, so whatever could release an entry
// or a table refuses meanwhile, and reports made meanwhile reach the text
// buffer and the event history but no callback (a callback that calls
// back must not recurse).  Never touched on a query's hit.
extern uint32_t callback_depth;

struct CallbackScope {
    CallbackScope() { ++callback_depth; }
    ~CallbackScope() { --callback_depth; }
    CallbackScope(const CallbackScope &) = delete;
    CallbackScope &operator=(const CallbackScope &) = delete;
};

// True, after reporting the refusal under `op`, while a callback runs.
bool refused_in_callback(const char *op);

// Info trace: the client's sink receives the caller's own format and
// arguments, then the event history gets the formatted record.
template <class... Args> void trace(const char *fmt, Args... args) {
    const lcache_attr &a = lcache.attr;
    if (callback_depth == 0 && (a.debug_print || a.debug_printf)) {
        const CallbackScope in_callback;
        if (a.debug_print)
            a.debug_print(a.debug_print_arg, fmt, args...);
        else
            a.debug_printf(fmt, args...);
    }
    log_history(LCACHE_HIST_INFO, kHistLevelInfo, fmt, args...);
}

// Error report of operation `function` at source `line`.
template <class... Args>
void report_error(const char *function, int line, const char *fmt, Args... args) {
    format_error(fmt, args...);
    const lcache_attr &a = lcache.attr;
    if (lcache_error_cb == 1 && callback_depth == 0 && (a.error_print || a.error_printf)) {
        const CallbackScope in_callback;
        if (a.error_print)
            a.error_print(a.error_print_arg, "%s:%d: %s\n", function, line, lcache_print_str);
        else
            a.error_printf(fmt, args...);
    }
    log_history(LCACHE_HIST_ERROR, kHistLevelError, fmt, args...);
}

// Never called: lets the compiler check each trace's arguments against its
// format, which the forwarding templates above cannot do.
[[gnu::format(printf, 1, 2)]] int check_format(const char *fmt, ...);

} // namespace lc

// LC_TRACE(fmt, ...): info trace.  LC_ERROR(fmt, ...): error report under
// the enclosing function's name; LC_ERROR_AS(name, fmt, ...) under `name`.
#define LC_TRACE(...)                                                                              \
    do {                                                                                           \
        static_cast<void>(sizeof(lc::check_format(__VA_ARGS__)));                                  \
        lc::trace(__VA_ARGS__);                                                                    \
    } while (0)
#define LC_ERROR_AS(name, ...)                                                                     \
    do {                                                                                           \
        static_cast<void>(sizeof(lc::check_format(__VA_ARGS__)));                                  \
        lc::report_error(name, __LINE__, __VA_ARGS__);                                             \
    } while (0)
#define LC_ERROR(...) LC_ERROR_AS(__func__, __VA_ARGS__)
