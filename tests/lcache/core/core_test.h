// What the suites of the cache core share: the fixture with a view of the
// tables and of the reports, and a printf-style helper for expected texts.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "lcache_fixture.h"

namespace coretest {

using Texts = std::vector<std::string>;

// sync_mask bits of the iod, pi and lif tables.
constexpr uint32_t kKeys = LCACHE_ATTR_IOD | LCACHE_ATTR_PI | LCACHE_ATTR_LIF;

[[gnu::format(printf, 1, 2)]] inline std::string text(const char *fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

inline uint64_t entry_allocs() {
    mtrack_usage_t usage;
    mtrack_get_usage(LCACHE_MTRACK_ID, LCACHE_MEM_lcache_if_entry_t, &usage);
    return usage.allocs;
}

class CoreTest : public lctest::LcacheSimTest {
  protected:
    // The entry a table holds under `key`, without creating anything.
    static lcache_if_entry_t *held(ht_table_t &table, uint32_t key) {
        return static_cast<lcache_if_entry_t *>(ht_lookup(&table, &key));
    }
    static lcache_if_entry_t *cached(uint32_t ifindex) { return held(lcache.if_table, ifindex); }

    static lcache_if_entry_t *create(uint32_t ifindex) {
        return lcache_if_create_entry_by_if(ifindex, LCACHE_NO_IOD, LCACHE_NO_PI, LCACHE_NO_LIF);
    }

    // Error reports, as the event history holds them (without the ": ").
    static Texts errors() {
        Texts out;
        for (const lctest::HistEntry &h : lctest::history(lctest::kHistId))
            if (h.header == LCACHE_HIST_ERROR)
                out.push_back(h.text.substr(2));
        return out;
    }
    // Info traces, as the client's debug sink received them.
    static Texts traces() {
        Texts out;
        for (const lctest::SinkCall &c : lctest::TraceCapture::debug_print_calls)
            out.push_back(c.text);
        return out;
    }
    static bool traced(const std::string &line) {
        for (const std::string &t : traces())
            if (t == line)
                return true;
        return false;
    }
    static void forget_reports() {
        lctest::TraceCapture::clear();
        histsvc_clear(lctest::kHistId);
    }
};

} // namespace coretest
