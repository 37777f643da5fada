// SPDX-License-Identifier: MIT
// The four answers a client asks first about an interface (is the link
// up, its MTU, its MAC, its name), as each contender gives them and as the
// kernel gives them in a link dump read here: the witness the rows check
// the contenders against, parsed by neither of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct nl_cache;
struct nlmsghdr;
struct rtnl_link;

namespace lbench {

struct Answers {
    bool up = false;
    uint32_t mtu = 0;
    std::array<uint8_t, 6> mac{};
    std::array<char, 16> name{}; // IFNAMSIZ
};

// Each asks the four questions once.  A link libnl's cache lacks answers
// all-zero, which the kernel never does.
Answers lcache_answers(uint32_t iod);
// libnl: found by rtnl_link_get (a walk of the cache's list), or by
// nl_cache_search with a key holding the ifindex and family (a hash).
Answers libnl_answers(nl_cache *links, uint32_t index);
Answers libnl_answers_hashed(nl_cache *links, rtnl_link *key);

// libnl's search keys for a list of interfaces, made once.
class LibnlKeys {
  public:
    explicit LibnlKeys(const std::vector<uint32_t> &interfaces);
    ~LibnlKeys();
    LibnlKeys(const LibnlKeys &) = delete;
    LibnlKeys &operator=(const LibnlKeys &) = delete;

    rtnl_link *operator[](size_t i) const { return keys_[i]; }

  private:
    std::vector<rtnl_link *> keys_;
};

// The request for a dump of every link, statistics skipped (as
// liblcache_linux asks it), built in `buffer` (MNL_SOCKET_BUFFER_SIZE).
nlmsghdr *link_dump_request(unsigned char *buffer);

// How many of the four answers about interfaces[i] in answers[i] differ
// from the kernel's now (one dump, for any number of interfaces: ioctl
// finds a link by name in a hash of 256 chains, slow at 32 768 links),
// summed over every interface; empty when the kernel could not be asked.
std::optional<uint32_t> disagreements(const std::vector<uint32_t> &interfaces,
                                      const std::vector<Answers> &answers);

} // namespace lbench
