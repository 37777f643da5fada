// SPDX-License-Identifier: MIT
// The trace convention's formatting half: error text and event-history
// records.  Everything is formatted into fixed buffers; nothing allocates.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "histsvc.h"
#include "lcache_internal.h"

namespace lc {

namespace {

// The record handed to the event history: header word, then ": " and the
// message, cut to fit kHistTextSize bytes with its NUL.
struct HistRecord {
    uint32_t header;
    char text[kHistTextSize];
};
static_assert(sizeof(HistRecord) == 204, "history record is 4 + 200 bytes");

} // namespace

void log_history(uint32_t header, uint32_t level, const char *fmt, ...) {
    HistRecord record;
    record.header = header;
    record.text[0] = ':';
    record.text[1] = ' ';
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(record.text + 2, sizeof record.text - 2, fmt, ap);
    va_end(ap);
    if (n < 0)
        record.text[2] = '\0';
    uint32_t len = static_cast<uint32_t>(sizeof record.header + strlen(record.text) + 1);
    histsvc_his_log_event_for_uuid_inst(lcache.attr.ext_key[0], kHistInst, level, 0, len, &record);
}

uint32_t callback_depth;

bool refused_in_callback(const char *op) {
    if (callback_depth == 0)
        return false;
    LC_ERROR_AS(op, "%s: refused while a trace or error callback runs\n", op);
    return true;
}

void format_error(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(lcache_print_str, sizeof lcache_print_str, fmt, ap);
    va_end(ap);
    if (n < 0)
        lcache_print_str[0] = '\0';
}

} // namespace lc
