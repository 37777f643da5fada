// SPDX-License-Identifier: MIT
#include "trace_capture.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace lctest {

std::vector<SinkCall> TraceCapture::debug_print_calls, TraceCapture::debug_printf_calls,
    TraceCapture::error_print_calls, TraceCapture::error_printf_calls;

#define LCTEST_FORMAT(fmt, buf)                                                                    \
    char buf[1024];                                                                                \
    va_list ap;                                                                                    \
    va_start(ap, fmt);                                                                             \
    vsnprintf(buf, sizeof buf, fmt, ap);                                                           \
    va_end(ap)
#define LCTEST_SINK(list, arg, fmt)                                                                \
    LCTEST_FORMAT(fmt, buf);                                                                       \
    list.push_back(SinkCall{arg, fmt, buf});                                                       \
    return 0

int TraceCapture::debug_print(uint32_t arg, const char *fmt, ...) {
    LCTEST_SINK(debug_print_calls, arg, fmt);
}
int TraceCapture::debug_printf(const char *fmt, ...) { LCTEST_SINK(debug_printf_calls, 0, fmt); }
int TraceCapture::error_print(uint32_t arg, const char *fmt, ...) {
    LCTEST_SINK(error_print_calls, arg, fmt);
}
int TraceCapture::error_printf(const char *fmt, ...) { LCTEST_SINK(error_printf_calls, 0, fmt); }

std::string text(const char *fmt, ...) {
    LCTEST_FORMAT(fmt, buf);
    return buf;
}

void TraceCapture::clear() {
    for (auto *list :
         {&debug_print_calls, &debug_printf_calls, &error_print_calls, &error_printf_calls})
        list->clear();
}

std::string TraceCapture::debug_text() {
    std::string all;
    for (const SinkCall &c : debug_print_calls)
        all += c.text;
    return all;
}

Texts TraceCapture::traces() {
    Texts out;
    for (const SinkCall &c : debug_print_calls)
        out.push_back(c.text);
    return out;
}

std::vector<HistEntry> history(uint32_t uuid) {
    std::vector<HistEntry> out;
    histsvc_record_t r;
    for (uint32_t i = 0; i < histsvc_count(uuid) && histsvc_get(uuid, i, &r); ++i) {
        const char *chars = reinterpret_cast<const char *>(r.data) + 4;
        HistEntry e{r.level, r.inst, r.len, 0,
                    std::string(chars, strnlen(chars, sizeof r.data - 4))};
        memcpy(&e.header, r.data, sizeof e.header);
        out.push_back(e);
    }
    return out;
}

Texts errors(uint32_t uuid) {
    Texts out;
    for (const HistEntry &h : history(uuid))
        if (h.header == LCACHE_HIST_ERROR)
            out.push_back(h.text.substr(2));
    return out;
}

} // namespace lctest
