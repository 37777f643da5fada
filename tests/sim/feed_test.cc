// SPDX-License-Identifier: MIT
// The simulated switch's feeds drive the cache's watches: what the switch
// sends about one change, handed over in process or after a round trip to
// a switch server, gives a watcher one event per entry it changes, with
// the values before and after.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lcache.h"
#include "sim/change.h"
#include "sim/ipc_client.h"
#include "sim/ipc_server.h"
#include "sim/lcache_delivery.h"
#include "sim/model_backend.h"
#include "sim/peer_calls.h"

namespace {

// An event with copies of its entries, which live only during the callback.
struct Heard {
    uint32_t event, if_index, changed, stale;
    std::optional<lcache_if_entry_t> before, after;
};

void hear(const lcache_change_t *c, void *arg) {
    auto copy = [](const lcache_if_entry_t *e) {
        return e ? std::optional(*e) : std::optional<lcache_if_entry_t>();
    };
    static_cast<std::vector<Heard> *>(arg)->push_back(
        {c->event, c->if_index, c->changed, c->stale, copy(c->before), copy(c->after)});
}

// Where the switch runs and how a change's notifications reach this process.
class Feed {
  public:
    virtual ~Feed() { sim::set_active_backend(nullptr); }
    virtual sim::Applied apply(const sim::Change &change) = 0;
};

class InProcessFeed : public Feed {
  public:
    InProcessFeed() { sim::set_active_backend(&backend_); }
    sim::Applied apply(const sim::Change &change) override {
        return sim::apply_change(model_, change);
    }

  private:
    sim::Switch model_;
    sim::ModelBackend backend_{model_};
};

// The switch in a server process; the replica answers the functions
// answered locally, as in the tool.
class IpcFeed : public Feed {
  public:
    IpcFeed() {
        client_.build(std::nullopt);
        sim::set_active_backend(&backend_);
    }
    sim::Applied apply(const sim::Change &change) override {
        sim::apply_change(replica_, change);
        return client_.apply(change);
    }

  private:
    sim::ipc::ServerProcess server_;
    sim::ipc::Client client_{server_.take_client_fd()};
    sim::Switch replica_;
    sim::ipc::RemoteBackend backend_{client_, replica_};
};

class FeedWatch : public ::testing::TestWithParam<std::string> {
  protected:
    FeedWatch() {
        if (GetParam() == "ipc")
            feed = std::make_unique<IpcFeed>();
        else
            feed = std::make_unique<InProcessFeed>();
        lcache_attr attr{};
        attr.sync_mask = 0xFFFFFFFF;
        attr.low_mask = LCACHE_ATTR_MTU; // what a flush with option 0 marks stale
        attr.table_size = 64;
        EXPECT_EQ(lcache_init(&attr), 1u);
        EXPECT_GE(lcache_watch_add(0xFFFFFFFF, hear, &heard), 0);
    }
    ~FeedWatch() override { lcache_cleanup(); }

    // The events of one change's notifications, all handed to the cache.
    std::vector<Heard> change(const sim::Change &c) {
        heard.clear();
        last_sent = feed->apply(c).sent;
        sim::deliver_all(last_sent);
        return std::move(heard);
    }

    std::unique_ptr<Feed> feed;
    std::vector<Heard> heard;
    sim::Notifications last_sent;
};

using sim::ChangeKind;

TEST_P(FeedWatch, EveryEventKindWithItsValues) {
    // A new port whose link is up announces itself: the cache creates it.
    auto events = change({ChangeKind::add_ethernet, 0, 1, 1});
    ASSERT_EQ(events.size(), 1u);
    const uint32_t port = events[0].if_index;
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_ADDED);
    EXPECT_FALSE(events[0].before);
    ASSERT_TRUE(events[0].after);
    EXPECT_EQ(events[0].after->if_index, port);
    EXPECT_TRUE(events[0].after->flags & LCACHE_FLAG_LINKUP);
    const uint16_t mtu = events[0].after->mtu;

    // The link goes down: an L2 and an L3 state, one event.
    events = change({ChangeKind::set_link, port, 0});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_TRUE(events[0].changed & LCACHE_ATTR_LINKUP);
    EXPECT_TRUE(events[0].before->flags & LCACHE_FLAG_LINKUP);
    EXPECT_FALSE(events[0].after->flags & LCACHE_FLAG_LINKUP);

    // The same notifications again change nothing: silence.
    heard.clear();
    sim::deliver_all(last_sent);
    EXPECT_TRUE(heard.empty());

    // A new MAC arrives in the L2 state, before -> after.
    sim::Change mac{ChangeKind::set_mac, port};
    mac.mac = {0x02, 0, 0, 0, 0xAB, 0xCD};
    events = change(mac);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(events[0].changed, LCACHE_ATTR_MAC);
    EXPECT_NE(std::memcmp(events[0].before->mac, mac.mac.data(), 6), 0);
    EXPECT_EQ(std::memcmp(events[0].after->mac, mac.mac.data(), 6), 0);

    // A flush marks the MTU stale without a new value.
    heard.clear();
    lcache_if_flush_if(port, 0);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(heard[0].changed, 0u);
    EXPECT_EQ(heard[0].stale, LCACHE_ATTR_MTU);
    EXPECT_EQ(heard[0].before->mtu, mtu);
    EXPECT_EQ(heard[0].after->mtu, mtu);

    // The port goes away.
    events = change({ChangeKind::remove_interface, port});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_REMOVED);
    EXPECT_EQ(events[0].if_index, port);
    ASSERT_TRUE(events[0].before);
    EXPECT_EQ(events[0].before->if_index, port);
    EXPECT_FALSE(events[0].after);
}

// A switchport change sends three notifications, which give one event; a
// VLAN notification makes the cache fetch the new VLAN.
TEST_P(FeedWatch, SwitchportAndVlanChangesGiveOneEventEach) {
    const uint32_t port = change({ChangeKind::add_ethernet, 0, 1, 1}).at(0).if_index;
    auto events = change({ChangeKind::set_switchport_mode, port,
                          static_cast<uint32_t>(sim::SwitchportMode::access)});
    ASSERT_EQ(last_sent.size(), 3u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].changed & LCACHE_ATTR_SWITCHPORT);
    EXPECT_FALSE(events[0].before->flags & LCACHE_FLAG_SWPORT);
    EXPECT_TRUE(events[0].after->flags & LCACHE_FLAG_SWPORT);
    const uint16_t vlan = events[0].after->vlan;
    events = change({ChangeKind::set_vlan, port, 30});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, LCACHE_CHANGE_UPDATED);
    EXPECT_EQ(events[0].changed, LCACHE_ATTR_VLAN);
    EXPECT_EQ(events[0].before->vlan, vlan);
    EXPECT_EQ(events[0].after->vlan, 30);
}

INSTANTIATE_TEST_SUITE_P(Feeds, FeedWatch, ::testing::Values("inproc", "ipc"),
                         [](const auto &feed) { return feed.param; });

} // namespace
