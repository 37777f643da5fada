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

uint32_t remove_it(uint32_t if_index) { return lcache_if_remove_entry_by_if(if_index); }
uint32_t clean_up(uint32_t) { return lcache_cleanup(); }
uint32_t start_again(uint32_t) {
    const lcache_attr a{};
    return lcache_init(&a);
}

constexpr CallBack kCallBacks[] = {
    {"lcache_if_remove_entry_by_if", remove_it},
    {"lcache_cleanup", clean_up},
    {"lcache_init", start_again},
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
        eth = model.add_ethernet(1, 1);
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

    sim::IfIndex eth = 0;
    lcache_if_entry_t *entry = nullptr;
};

} // namespace

// The refusal is reported, answers the call's failure result, and the
// refresh goes on with an entry that is still cached.
TEST_F(CallbackTest, ATraceCallbackCannotReleaseTheEntryBeingRefreshed) {
    for (const CallBack &c : kCallBacks) {
        SCOPED_TRACE(c.function);
        g_answers.clear();
        entry->dirty = LCACHE_ATTR_LINKUP;
        refresh_calling_back(c, "Lcache-update", 1);
        EXPECT_EQ(g_answers, std::vector<uint32_t>{0});
        EXPECT_EQ(lcache_print_str, refusal(c));
        EXPECT_EQ(std::tuple(cached(eth), entry->dirty), std::tuple(entry, 0u));
    }
}

// The refusal is reported without calling the error callback again, so a
// callback is never re-entered.
TEST_F(CallbackTest, AnErrorCallbackCannotReleaseTheEntryBeingRefreshed) {
    model.set_iod(eth, 600);
    for (const CallBack &c : kCallBacks) {
        SCOPED_TRACE(c.function);
        g_answers.clear();
        g_error_callbacks = 0;
        entry->dirty = LCACHE_ATTR_IOD;
        refresh_calling_back(c, "If->iod mapping changed", 0);
        EXPECT_EQ(std::tuple(g_answers, g_error_callbacks),
                  std::tuple(std::vector<uint32_t>{0}, 1));
        EXPECT_THAT(errors(), testing::Contains(refusal(c)));
        EXPECT_EQ(cached(eth), entry);
        forget_reports();
    }
}

// Once the callback has returned, the same calls are served.
TEST_F(CallbackTest, OutsideACallbackTheCallsAreServed) {
    entry->dirty = LCACHE_ATTR_LINKUP;
    refresh_calling_back(kCallBacks[0], "Lcache-update", 1);
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
