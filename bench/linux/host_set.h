// SPDX-License-Identifier: MIT
// One set of real veth pairs in a private network namespace, with every
// contender of the Linux benchmarks opened over it: the cache over the
// Linux peers with its notification bridge, libnl's cache manager and an
// ioctl socket.  A set is built once per size and torn down by leaving its
// namespace, which the kernel then deletes with every link in it.  The
// contenders can be closed and opened again over the same links, for the
// rows that time their start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lcache.h"
#include "link_control.h"

struct nl_cache;
struct nl_cache_mngr;
struct nl_sock;
struct rtnl_link;

namespace lbench {

struct Pair {
    uint32_t near = 0; // kernel ifindex of "ethN" = the cache's iod
    uint32_t peer = 0; // its far end "peerN", taken down to drop the carrier
    std::string name;
    uint16_t mtu = 1500;
    bool carrier = true;
    rtnl_link *needle = nullptr; // libnl's lookup key: ifindex and family
};

// Whether a set is handed out with its contenders open or closed.
enum class Contenders { open, closed };

class HostSet {
  public:
    ~HostSet();
    HostSet(const HostSet &) = delete;
    HostSet &operator=(const HostSet &) = delete;

    // The set of `pairs` pairs, building it (and dropping any other) on
    // first use, with its contenders as asked; null with the reason in
    // `why` when it cannot be built.
    static HostSet *of_size(uint32_t pairs, std::string &why, Contenders want = Contenders::open);
    // Drops the current set, if any.
    static void release();

    uint32_t size() const { return static_cast<uint32_t>(pairs_.size()); }
    Pair &pair(uint32_t i) { return pairs_[i]; }
    // Every interface of the namespace but the loopback, both ends of
    // every pair: kernel ifindexes, ascending.
    const std::vector<uint32_t> &interfaces() const { return interfaces_; }
    lcache_linux::LinkControl &control() { return control_; }
    nl_cache *libnl_links() const { return links_; }
    int libnl_fd() const;
    // A socket of its own for libnl's refills, apart from the manager's.
    nl_sock *libnl_refill_socket() const { return refill_socket_; }
    int ioctl_socket() const { return ioctl_fd_; }

    // Both consumers' notification sockets at the kernel's smallest receive
    // buffer, so that a burst of changes overruns them, or back at their
    // room for every change of a batch.  False with the reason in `why`.
    bool shrink_notification_buffers(std::string &why);
    bool restore_notification_buffers(std::string &why);

    // Every pending notification, read by one consumer; each answers how
    // many messages it took (negative on failure).
    int drain_lcache();
    int drain_libnl();

    // Whether pair i is up by the flags SIOCGIFFLAGS reports.
    bool ioctl_running(uint32_t i) const;
    // A pair's near end in libnl's manager cache, found by its hashed
    // search (rtnl_link_get walks a list: milliseconds a lookup at 16 384
    // pairs); null when missing, else a reference to put.
    rtnl_link *libnl_link(const Pair &p) const;
    bool libnl_lower_up(uint32_t i) const;

  private:
    HostSet() = default;
    bool build(uint32_t pairs, std::string &why);
    bool wait_for_carrier(std::string &why);
    bool open_contenders(std::string &why);
    void close_contenders();
    bool open_libnl(std::string &why);
    bool check_agreement(std::string &why);

    lcache_linux::LinkControl control_;
    std::vector<Pair> pairs_;
    std::vector<uint32_t> interfaces_;
    bool contenders_open_ = false;
    bool cache_up_ = false;
    bool bridge_open_ = false;
    nl_sock *libnl_socket_ = nullptr;
    nl_sock *refill_socket_ = nullptr;
    nl_cache_mngr *manager_ = nullptr;
    nl_cache *links_ = nullptr;
    int ioctl_fd_ = -1;
};

// The cache's attribute block for a set of `pairs` pairs: every attribute
// the Linux peers serve kept, a bucket for every interface.
lcache_attr attribute_block(uint32_t pairs);

// Interface counts measured when no other is asked for.
inline constexpr uint32_t kDefaultSizes[] = {64, 1024, 4096, 16384};

// A benchmark that could not measure what it claims: the program then exits
// nonzero after every row has run.
void note_failure();
bool any_failure();

} // namespace lbench
