// Changes to the kernel's links over rtnetlink, each acknowledged by the
// kernel before the call returns: what the tests, the benchmarks and the
// host job do to the interfaces the cache watches.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct mnl_socket;
struct nlmsghdr;

namespace lcache_linux {

class LinkControl {
  public:
    LinkControl() = default;
    ~LinkControl();
    LinkControl(const LinkControl &) = delete;
    LinkControl &operator=(const LinkControl &) = delete;

    // Every call returns 0 or a negative errno (the kernel's own refusal
    // included).
    int open();
    int add_veth(const std::string &name, const std::string &peer);
    int add_bridge(const std::string &name);
    int add_vlan(const std::string &name, uint32_t parent, uint16_t vid);
    int add_bond(const std::string &name);
    int set_up(uint32_t index, bool up);
    int set_mtu(uint32_t index, uint32_t mtu);
    int set_mac(uint32_t index, const std::array<uint8_t, 6> &mac);
    int set_master(uint32_t index, uint32_t master); // 0 releases
    int remove(uint32_t index);

  private:
    nlmsghdr *start(unsigned char *buffer, uint16_t type, uint16_t flags, uint32_t index);
    int add_kind(const std::string &name, const char *kind, const std::string *peer,
                 uint32_t parent, uint16_t vid);
    int transact(nlmsghdr *request);
    template <typename F>
    int change(uint32_t index, F &&fill);

    mnl_socket *socket_ = nullptr;
    unsigned port_id_ = 0;
    unsigned sequence_ = 0;
};

} // namespace lcache_linux
