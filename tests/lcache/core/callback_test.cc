// SPDX-License-Identifier: MIT
// A trace or error callback that calls back into the cache while an entry
// is being refreshed.  Whatever could release that entry, or the tables,
// is refused until the callback returns; under AddressSanitizer a read of
// released memory would stop this program.
#include <gmock/gmock.h>

#include <cstring>

#include "core_test.h"

namespace coretest {

namespace {

// What a callback calls back, and under which name a refusal is reported.
struct CallBack {
    const char *function;
    uint32_t (*call)(uint32_t if_index);
};

const lcache_attr kEmptyBlock{};
constexpr CallBack kCallBacks[] = {
    {"lcache_if_remove_entry_by_if", lcache_if_remove_entry_by_if},
    {"lcache_cleanup", [](uint32_t) { return lcache_cleanup(); }},
    {"lcache_init", [](uint32_t) { return lcache_init(&kEmptyBlock); }},
};

// The callback of the running test: on every message that contains
// `trigger`, it calls back and keeps the answer.
const CallBack *g_call_back = nullptr;
const char *g_trigger = "";
uint32_t g_if_index = 0;
std::vector<uint32_t> g_answers;
int g_error_callbacks = 0;

int calling_back(const char *fmt) {
    if (g_call_back && strstr(fmt, g_trigger))
        g_answers.push_back(g_call_back->call(g_if_index));
    return 0;
}
int on_trace(uint32_t, const char *fmt, ...) { return calling_back(fmt); }
int on_error(uint32_t, const char *, ...) {
    ++g_error_callbacks;
    return calling_back(lcache_print_str);
}

std::string refusal(const CallBack &c) {
    return std::string(c.function) + ": refused while a trace or error callback runs\n";
}

class CallbackTest : public CoreTest {
  protected:
    void SetUp() override {
        lcache_attr a = attr_with(kKeys | LCACHE_ATTR_LINKUP);
        a.debug_print = on_trace;
        a.error_print = on_error;
        lcache_error_cb = 1;
        init(a);
        entry = create(eth);
        ASSERT_NE(entry, nullptr);
        g_if_index = eth;
        g_answers.clear();
        g_error_callbacks = 0;
    }
    ~CallbackTest() override { g_call_back = nullptr; }

    // Refreshes the entry while the callback calls back on `trigger`.
    void refresh_calling_back(const CallBack &c, const char *trigger, int32_t expected) {
        g_call_back = &c, g_trigger = trigger;
        EXPECT_EQ(lcache_if_update_entry(entry, 0), expected);
        g_call_back = nullptr;
    }

    lcache_if_entry_t *entry = nullptr;
};

} // namespace

// Under a trace or an error callback the refusal is reported without
// calling the error callback again, so a callback is never re-entered; it
// answers the call's failure result, and the refresh goes on with an entry
// that is still cached.  Once the callback has returned, the same calls
// are served.
TEST_F(CallbackTest, NoCallbackCanReleaseTheEntryBeingRefreshed) {
    model.set_iod(eth, 600); // a refresh of the iod reports the change
    for (bool error : {false, true})
        for (const CallBack &c : kCallBacks) {
            SCOPED_TRACE(testing::Message() << c.function << (error ? " error" : " trace"));
            g_answers.clear();
            g_error_callbacks = 0;
            forget_reports();
            entry->dirty = error ? LCACHE_ATTR_IOD : LCACHE_ATTR_LINKUP;
            refresh_calling_back(c, error ? "If->iod mapping changed" : "Lcache-update", !error);
            EXPECT_EQ(std::tuple(g_answers, g_error_callbacks, lcache_print_str, cached(eth)),
                      std::tuple(std::vector<uint32_t>{0}, int{error}, refusal(c), entry));
            EXPECT_THAT(errors(), testing::Contains(refusal(c)));
            EXPECT_EQ(entry->dirty, error ? LCACHE_ATTR_IOD : 0u);
        }
    EXPECT_EQ(lcache_if_remove_entry_by_if(eth), 1u);
    EXPECT_EQ(std::tuple(cached(eth), live()), std::tuple(nullptr, 0u));
}

// A callback's query is answered, but creates no entry: a creation's
// failure paths release entries.
TEST_F(CallbackTest, ACallbackCreatesNothing) {
    const sim::IfIndex other = model.add_ethernet(1, 2);
    model.set_link(other, true);
    static uint32_t other_iod;
    other_iod = iod(other);
    static constexpr CallBack kQuery{"lcache_if_create_entry_by_if",
                                     [](uint32_t) { return lcache_netif_is_linkup(other_iod); }};
    entry->dirty = LCACHE_ATTR_LINKUP;
    refresh_calling_back(kQuery, "Lcache-update", 1);
    EXPECT_EQ(std::tuple(g_answers, cached(other)), std::tuple(std::vector<uint32_t>{1}, nullptr));
    EXPECT_EQ(lcache_print_str, refusal(kQuery));
}

} // namespace coretest
