// SPDX-License-Identifier: MIT
// libmnl's attribute walks with a lambda as the callback.
#pragma once

#include <libmnl/libmnl.h>

#include <type_traits>

namespace lcache_linux {

template <typename F>
int trampoline(const nlattr *attr, void *data) {
    return (*static_cast<F *>(data))(attr);
}

// Calls `on_attr(const nlattr *)` for each attribute after `offset` bytes of
// the message's payload; it returns MNL_CB_OK to go on.
template <typename F>
int for_each_attr(const nlmsghdr *message, unsigned offset, F &&on_attr) {
    using Fn = std::remove_reference_t<F>;
    return mnl_attr_parse(message, offset, trampoline<Fn>, &on_attr);
}

template <typename F>
int for_each_nested(const nlattr *nest, F &&on_attr) {
    using Fn = std::remove_reference_t<F>;
    return mnl_attr_parse_nested(nest, trampoline<Fn>, &on_attr);
}

} // namespace lcache_linux
