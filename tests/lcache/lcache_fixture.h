// SPDX-License-Identifier: MIT
// A test of the cache against a small simulated switch.  The switch answers
// every peer call; the cache is initialised with the block the test gives;
// traces and errors are captured; at the end the cache is cleaned up and
// the memory tracker must hold no block of the library.
#pragma once

#include <gtest/gtest.h>

#include "lcache.h"
#include "mtrack.h"
#include "sim/model_backend.h"
#include "sim/peer_calls.h"
#include "sim/switch.h"
#include "trace_capture.h"

namespace lctest {

constexpr uint32_t kHistId = 0x51; // ext_key[0], the cache's event-history id

// Every table and every attribute kept.
constexpr uint32_t kSyncAll = 0xFFFFFFFF;

inline uint64_t live_blocks(lcache_mem_type_t type) {
    mtrack_usage_t usage;
    mtrack_get_usage(LCACHE_MTRACK_ID, type, &usage);
    return usage.live_blocks;
}

class LcacheSimTest : public ::testing::Test {
  protected:
    LcacheSimTest() : backend(model) {
        sim::set_active_backend(&backend);
        sim::clear_faults();
        sim::reset_call_counts();
        forget_reports();
        lcache_error_cb = 0;
    }

    ~LcacheSimTest() override {
        lcache_cleanup();
        lcache_enabled = 0;
        EXPECT_EQ(live_blocks(LCACHE_MEM_lcache_if_entry_t), 0u) << "interface entries leaked";
        EXPECT_EQ(live_blocks(LCACHE_MEM_lcache_vlan_entry_t), 0u) << "VLAN entries leaked";
        mtrack_fail_next(0);
        for (int op = 0; op < HT_FAULT_OP_COUNT; ++op)
            ht_fault_inject(static_cast<ht_fault_op_t>(op), 0);
        sim::set_active_backend(nullptr);
        sim::clear_faults();
    }

    // A block with the given masks, traces into TraceCapture, events under
    // kHistId.
    static lcache_attr attr_with(uint32_t sync_mask) {
        lcache_attr a{};
        a.sync_mask = sync_mask;
        a.table_size = 64;
        a.ext_key[0] = kHistId;
        a.debug_print = TraceCapture::debug_print;
        return a;
    }

    void init(const lcache_attr &a) {
        ASSERT_EQ(lcache_init(&a), 1u);
        sim::reset_call_counts();
    }
    void init(uint32_t sync_mask = kSyncAll) { init(attr_with(sync_mask)); }

    uint32_t iod(sim::IfIndex ifindex) const { return model.at(ifindex).iod; }
    uint32_t pi(sim::IfIndex ifindex) const { return model.at(ifindex).pi; }
    uint32_t lif(sim::IfIndex ifindex) const { return model.at(ifindex).lif; }
    static uint64_t calls(sim::PeerFn fn) { return sim::call_count(fn); }
    static uint64_t live() { return live_blocks(LCACHE_MEM_lcache_if_entry_t); }

    // Error reports and info traces since the test began or last forgot them.
    static Texts errors() { return lctest::errors(kHistId); }
    static Texts traces() { return TraceCapture::traces(); }
    static void forget_reports() {
        TraceCapture::clear();
        histsvc_clear(kHistId);
    }

    sim::Switch model;
    sim::ModelBackend backend;
};

} // namespace lctest
