#include "trace_capture.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace lctest {

std::vector<SinkCall> TraceCapture::debug_print_calls, TraceCapture::debug_printf_calls,
    TraceCapture::error_print_calls, TraceCapture::error_printf_calls;

namespace {

SinkCall record(uint32_t arg, const char *fmt, va_list ap) {
    char buf[1024];
    vsnprintf(buf, sizeof buf, fmt, ap);
    return SinkCall{arg, fmt, buf};
}

} // namespace

#define LCTEST_SINK(list, arg, fmt)                                                                \
    va_list ap;                                                                                    \
    va_start(ap, fmt);                                                                             \
    list.push_back(record(arg, fmt, ap));                                                          \
    va_end(ap);                                                                                    \
    return 0

int TraceCapture::debug_print(uint32_t arg, const char *fmt, ...) {
    LCTEST_SINK(debug_print_calls, arg, fmt);
}
int TraceCapture::debug_printf(const char *fmt, ...) { LCTEST_SINK(debug_printf_calls, 0, fmt); }
int TraceCapture::error_print(uint32_t arg, const char *fmt, ...) {
    LCTEST_SINK(error_print_calls, arg, fmt);
}
int TraceCapture::error_printf(const char *fmt, ...) { LCTEST_SINK(error_printf_calls, 0, fmt); }

void TraceCapture::clear() {
    debug_print_calls.clear();
    debug_printf_calls.clear();
    error_print_calls.clear();
    error_printf_calls.clear();
}

std::string TraceCapture::debug_text() {
    std::string all;
    for (const SinkCall &c : debug_print_calls)
        all += c.text;
    return all;
}

std::vector<HistEntry> history(uint32_t uuid) {
    std::vector<HistEntry> out;
    for (uint32_t i = 0; i < histsvc_count(uuid); ++i) {
        histsvc_record_t r;
        if (!histsvc_get(uuid, i, &r))
            break;
        HistEntry e{r.level, r.inst, r.len, 0, {}};
        memcpy(&e.header, r.data, sizeof e.header);
        e.text.assign(reinterpret_cast<const char *>(r.data) + 4,
                      strnlen(reinterpret_cast<const char *>(r.data) + 4, sizeof r.data - 4));
        out.push_back(e);
    }
    return out;
}

} // namespace lctest
