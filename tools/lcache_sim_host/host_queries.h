// The questions `lcache-sim host` asks about an interface, each both ways:
// through the cache and straight from the Linux peers (a fresh kernel
// answer).  Answers are compared as text, so names and MACs compare like
// numbers do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lchost {

struct QueryKind {
    const char *name;
    const char *family;
    std::string (*cached)(uint32_t iod);
    std::string (*kernel)(uint32_t iod);
};

std::span<const QueryKind> query_kinds();

// The families, in the order the summary lists them.
std::span<const char *const> families();

} // namespace lchost
