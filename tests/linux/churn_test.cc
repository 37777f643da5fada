// SPDX-License-Identifier: MIT
// Identity churn: interfaces renamed, re-created under their name, their
// ifindex reused by another, moved to another namespace, enslaved and
// released.  Whether the notifications are dispatched as they come or lost
// to an overrun, the cache ends holding exactly the kernel's interfaces, no
// answer of one that is gone survives, and every answer is the kernel's.
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <tuple>

#include "answers.h"
#include "host_fixture.h"

namespace hosttest {
namespace {

using Control = lcache_linux::LinkControl;

// A network namespace that a child process holds until this is destroyed.
class OtherNamespace {
  public:
    OtherNamespace() {
        int ready[2], release[2];
        if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(release, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            char made = unshare(CLONE_NEWNET) == 0;
            if (write(ready[1], &made, 1) == 1)
                static_cast<void>(read(release[0], &made, 1));
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char made = 0;
        if (pid_ > 0 && read(ready[0], &made, 1) == 1 && made) {
            std::string path = "/proc/" + std::to_string(pid_) + "/ns/net";
            fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        }
        close(ready[0]);
    }
    ~OtherNamespace() {
        if (fd_ >= 0)
            close(fd_);
        close(release_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }
    OtherNamespace(const OtherNamespace &) = delete;
    OtherNamespace &operator=(const OtherNamespace &) = delete;

    int fd() const { return fd_; }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
    int fd_ = -1;
};

// br0 with two ports, port1 (MTU 1400) and port3; port2 on its own; every
// one up with carrier.  noise stays down: its MTU changes fill the bridge's
// socket.
struct World {
    uint32_t bridge = 0, port1 = 0, port2 = 0, peer2 = 0, port3 = 0, noise = 0, bond = 0;
    std::optional<OtherNamespace> elsewhere;
};

class Churn : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(control.add_bridge("br0"), 0);
        w.bridge = if_nametoindex("br0");
        ASSERT_EQ(control.set_up(w.bridge, true), 0);
        w.port1 = veth_up("port1", "peer1");
        w.port2 = veth_up("port2", "peer2");
        w.port3 = veth_up("port3", "peer3");
        w.peer2 = if_nametoindex("peer2");
        ASSERT_EQ(control.set_mtu(w.port1, 1400), 0);
        ASSERT_EQ(control.set_master(w.port1, w.bridge), 0);
        ASSERT_EQ(control.set_master(w.port3, w.bridge), 0);
        ASSERT_EQ(control.add_veth("noise", "noisepeer"), 0);
        w.noise = if_nametoindex("noise");
        ASSERT_TRUE(dispatch_until([&] {
            for (uint32_t iod : {w.bridge, w.port1, w.port2, w.port3})
                if (netif_is_protoup(iod) != 1)
                    return false;
            return true;
        })) << "the links never came up";
        ASSERT_GT(lcache_linux_sync(), 0);
        lcache_linux_reset_counters();
    }

    // Once everything is dispatched: the cache holds what the kernel has
    // and answers what it says (closes the bridge).
    static void expect_cache_is_the_kernel() {
        const auto iods = kernel_iods();
        EXPECT_EQ(cached_iods(), iods);
        expect_answers_match_kernel(iods);
    }

    World w;
};

struct ChurnCase {
    const char *name;
    void (*change)(Control &, World &);
    // The rule the case pins, checked once everything is dispatched.
    void (*check)(const World &);
};

void PrintTo(const ChurnCase &tc, std::ostream *os) { *os << tc.name; }

void rename_port2(Control &c, World &w) {
    ASSERT_EQ(c.set_up(w.port2, false), 0); // a veth is renamed only while down
    ASSERT_EQ(c.rename(w.port2, "renamed"), 0);
}
void check_renamed(const World &w) {
    EXPECT_EQ(if_nametoindex("renamed"), w.port2);
    EXPECT_TRUE(is_cached(ethernet_ifindex(w.port2))) << "a rename is not a new interface";
    EXPECT_STREQ(lcache_netif_get_if_name(w.port2), "renamed");
}

void recreate_port2(Control &c, World &w) {
    ASSERT_EQ(c.remove(w.port2), 0);
    ASSERT_EQ(c.add_veth("port2", "peer2"), 0);
}
void check_recreated(const World &w) {
    uint32_t now = if_nametoindex("port2");
    ASSERT_NE(now, w.port2);
    EXPECT_FALSE(is_cached(ethernet_ifindex(w.port2))) << "the old interface kept its entry";
    EXPECT_TRUE(is_cached(ethernet_ifindex(now)));
}

// The newcomer takes port1's ifindex: down, MTU 1500, another MAC, no bridge.
void reuse_port1_index(Control &c, World &w) {
    ASSERT_EQ(c.remove(w.port1), 0);
    ASSERT_EQ(c.add_veth("reborn", "rebornpeer", w.port1), 0);
}
void check_reused(const World &w) {
    ASSERT_EQ(if_nametoindex("reborn"), w.port1);
    Answers now = cached_answers(w.port1);
    EXPECT_EQ(now.name, "reborn");
    EXPECT_EQ(now.mtu, 1500u);
    EXPECT_EQ(now.switchport, 0u);
    EXPECT_EQ(now.linkup, 0u);
}

void move_port2_away(Control &c, World &w) {
    w.elsewhere.emplace();
    ASSERT_GE(w.elsewhere->fd(), 0) << "no namespace to move to";
    ASSERT_EQ(c.move_to_netns(w.port2, w.elsewhere->fd()), 0);
}
void check_moved(const World &w) {
    EXPECT_EQ(if_nametoindex("port2"), 0u);
    EXPECT_FALSE(is_cached(ethernet_ifindex(w.port2))) << "a link moved away kept its entry";
}

void enslave_port2(Control &c, World &w) { ASSERT_EQ(c.set_master(w.port2, w.bridge), 0); }
void check_enslaved(const World &w) { EXPECT_EQ(lcache_netif_is_switchport(w.port2), 1u); }

void release_port1(Control &c, World &w) { ASSERT_EQ(c.set_master(w.port1, 0), 0); }
void check_released(const World &w) { EXPECT_EQ(lcache_netif_is_switchport(w.port1), 0u); }

void join_a_bond(Control &c, World &w) {
    SKIP_UNLESS_SUPPORTED(c.add_bond("bond0"), "bonding driver");
    w.bond = if_nametoindex("bond0");
    ASSERT_EQ(c.set_up(w.port2, false), 0);
    ASSERT_EQ(c.set_master(w.port2, w.bond), 0);
    ASSERT_EQ(c.set_up(w.port2, true), 0);
    ASSERT_EQ(c.set_up(w.bond, true), 0);
}
void check_bonded(const World &w) {
    uint32_t bond = 0, member = 0, fop = 0;
    ASSERT_EQ(netif_get_ifindex_frm_iod(w.bond, &bond), 0u);
    ASSERT_EQ(netif_get_ifindex_frm_iod(w.port2, &member), 0u);
    EXPECT_EQ(lcache_agg_get_fop(bond, &fop), 0u);
    EXPECT_EQ(fop, member);
}

const ChurnCase kChurnCases[] = {
    {"Renamed", rename_port2, check_renamed},
    {"RecreatedUnderItsName", recreate_port2, check_recreated},
    {"IfindexReusedByAnother", reuse_port1_index, check_reused},
    {"MovedToAnotherNamespace", move_port2_away, check_moved},
    {"EnslavedToABridge", enslave_port2, check_enslaved},
    {"ReleasedFromABridge", release_port1, check_released},
    {"EnslavedToABond", join_a_bond, check_bonded},
};

enum class Delivery { as_they_come, after_overrun };

void PrintTo(Delivery delivery, std::ostream *os) {
    *os << (delivery == Delivery::after_overrun ? "after an overrun" : "as they come");
}

class Identity : public Churn,
                 public ::testing::WithParamInterface<std::tuple<ChurnCase, Delivery>> {};

TEST_P(Identity, NoAnswerOfWhatIsGoneSurvives) {
    const auto &[tc, delivery] = GetParam();
    const bool overrun = delivery == Delivery::after_overrun;
    if (overrun)
        shrink_receive_buffer();
    tc.change(control, w);
    if (IsSkipped() || HasFatalFailure())
        return;
    if (overrun) {
        for (uint32_t mtu = 1300; mtu < 1500; ++mtu)
            ASSERT_EQ(control.set_mtu(w.noise, mtu), 0);
    }
    dispatch_until_quiet();
    EXPECT_EQ(counters().resyncs > 0, overrun);
    EXPECT_EQ(counters().resync_fallbacks, 0u);
    tc.check(w);
    expect_cache_is_the_kernel();
}

INSTANTIATE_TEST_SUITE_P(Kernel, Identity,
                         ::testing::Combine(::testing::ValuesIn(kChurnCases),
                                            ::testing::Values(Delivery::as_they_come,
                                                              Delivery::after_overrun)),
                         [](const auto &param_info) {
                             return std::string(std::get<0>(param_info.param).name) +
                                    (std::get<1>(param_info.param) == Delivery::after_overrun
                                         ? "AfterOverrun"
                                         : "AsTheyCome");
                         });

// Thousands of changes (MTU, MAC, carrier from the far end, a rename) with
// nobody dispatching: the default receive buffer overflows or not, and the
// answers are right either way.
TEST_F(Churn, ABurstDispatchedLateEndsWithEveryAnswerRight) {
    std::array<uint8_t, 6> mac = {0x02, 0, 0, 0, 0, 0};
    for (int round = 0; round < 1000; ++round) {
        ASSERT_EQ(control.set_mtu(w.noise, 1280 + round % 200), 0);
        ASSERT_EQ(control.set_mtu(w.port2, 1300 + round % 100), 0);
        mac[4] = static_cast<uint8_t>(round >> 8);
        mac[5] = static_cast<uint8_t>(round);
        ASSERT_EQ(control.set_mac(w.port3, mac), 0);
        if (round % 100 == 0) {
            ASSERT_EQ(control.set_up(w.peer2, round % 200 != 0), 0);
        }
        if (round == 500) {
            ASSERT_EQ(control.rename(w.noise, "quiet"), 0);
        }
    }
    dispatch_until_quiet();
    expect_cache_is_the_kernel();
}

} // namespace
} // namespace hosttest
