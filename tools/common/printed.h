// SPDX-License-Identifier: MIT
// printf formatting into a std::string, for the tools' text output.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tooltext {

// The whole text, however long: the first pass only measures it.
[[gnu::format(printf, 1, 2)]] inline std::string printed(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::vsnprintf(text.data(), text.size() + 1, fmt, again);
    va_end(again);
    return text;
}

} // namespace tooltext
