// SPDX-License-Identifier: MIT
// Another network namespace, fresh and empty, for interfaces that leave
// the one the cache watches.
#pragma once

namespace lchost {

class OtherNetns {
  public:
    OtherNetns() = default;
    OtherNetns(const OtherNetns &) = delete;
    OtherNetns &operator=(const OtherNetns &) = delete;
    ~OtherNetns();

    // A descriptor of the namespace, made on first use; a negative errno
    // when it cannot be made.
    int fd();

  private:
    int fd_ = -1;
};

} // namespace lchost
