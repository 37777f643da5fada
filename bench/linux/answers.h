// The four answers a client asks first about an interface (is the link
// up, its MTU, its MAC, its name), as each contender gives them and as the
// kernel gives them through ioctl, which neither contender uses: the
// witness the rows check the contenders against.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct nl_cache;

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
Answers libnl_answers(nl_cache *links, uint32_t index);
Answers kernel_answers(int ioctl_fd, uint32_t index);

// How many of the four answers about interfaces[i] in answers[i] differ
// from the kernel's, summed over every interface.
uint32_t disagreements(int ioctl_fd, const std::vector<uint32_t> &interfaces,
                       const std::vector<Answers> &answers);

} // namespace lbench
