// SPDX-License-Identifier: MIT
// A printf of its own: each conversion is formatted by snprintf, except
// the addresses, which are named.
#include "trace_text.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "lcache.h"

namespace lcsim {
namespace {

std::string *info_output = nullptr;
std::string *error_output = nullptr;

std::string hex_name(const char *what, uint32_t value) {
    char text[40];
    std::snprintf(text, sizeof text, "<%s 0x%x>", what, value);
    return text;
}

// An address the cache printed, named by what it points at: one of its
// tables, or an entry, whose key is its first field.
std::string name_address(const void *address, std::string_view format) {
    if (!address)
        return "(nil)";
    const struct {
        const ht_table_t *table;
        const char *name;
    } tables[] = {{&lcache.if_table, "<if_table>"},
                  {&lcache.iod_table, "<iod_table>"},
                  {&lcache.pi_table, "<pi_table>"},
                  {&lcache.lif_table, "<lif_table>"},
                  {&lcache.vlan_table, "<vlan_table>"}};
    for (const auto &t : tables)
        if (address == t.table)
            return t.name;
    if (format.find(" - vlan: ") != std::string_view::npos) {
        const auto *entry = static_cast<const lcache_vlan_entry_t *>(address);
        return "<vlan-entry " + std::to_string(entry->vlan) + ">";
    }
    return hex_name("if-entry", static_cast<const lcache_if_entry_t *>(address)->if_index);
}

// The parts of one printf conversion.
struct Conversion {
    std::string pattern; // "%-8llu", without the '*' arguments
    std::string length;
    char type = 0;
    size_t end = 0; // index in the format just past the conversion
};

Conversion parse(const char *fmt, size_t start, va_list &args) {
    Conversion c;
    c.pattern = "%";
    size_t i = start + 1;
    while (fmt[i] && std::strchr("-+ #0'", fmt[i]))
        c.pattern += fmt[i++];
    // A '*' width or precision is taken from the arguments and written in.
    auto number = [&] {
        if (fmt[i] == '*') {
            c.pattern += std::to_string(va_arg(args, int));
            ++i;
        }
        while (std::isdigit(static_cast<unsigned char>(fmt[i])))
            c.pattern += fmt[i++];
    };
    number();
    if (fmt[i] == '.') {
        c.pattern += fmt[i++];
        number();
    }
    while (fmt[i] && std::strchr("hlLqjzt", fmt[i]))
        c.length += fmt[i++];
    c.type = fmt[i];
    c.end = fmt[i] ? i + 1 : i;
    c.pattern += c.length;
    c.pattern += c.type;
    return c;
}

#pragma GCC diagnostic push
// Each conversion is cut from a format the cache itself passed.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class T> std::string print_one(const std::string &pattern, T value) {
    const int n = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (n <= 0)
        return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern.c_str(), value);
    text.pop_back();
    return text;
}
#pragma GCC diagnostic pop

std::string print_signed(const Conversion &c, va_list &args) {
    if (c.length == "ll" || c.length == "q")
        return print_one(c.pattern, va_arg(args, long long));
    if (c.length == "l")
        return print_one(c.pattern, va_arg(args, long));
    if (c.length == "j")
        return print_one(c.pattern, va_arg(args, intmax_t));
    if (c.length == "z" || c.length == "t")
        return print_one(c.pattern, va_arg(args, ptrdiff_t));
    return print_one(c.pattern, va_arg(args, int));
}

std::string print_unsigned(const Conversion &c, va_list &args) {
    if (c.length == "ll" || c.length == "q")
        return print_one(c.pattern, va_arg(args, unsigned long long));
    if (c.length == "l")
        return print_one(c.pattern, va_arg(args, unsigned long));
    if (c.length == "j")
        return print_one(c.pattern, va_arg(args, uintmax_t));
    if (c.length == "z" || c.length == "t")
        return print_one(c.pattern, va_arg(args, size_t));
    return print_one(c.pattern, va_arg(args, unsigned));
}

std::string print_conversion(const Conversion &c, std::string_view format, va_list &args) {
    switch (c.type) {
    case 'd':
    case 'i': return print_signed(c, args);
    case 'u':
    case 'x':
    case 'X':
    case 'o': return print_unsigned(c, args);
    case 'c': return print_one(c.pattern, va_arg(args, int));
    case 's': {
        const char *text = va_arg(args, const char *);
        return print_one(c.pattern, text ? text : "(null)");
    }
    case 'p': return name_address(va_arg(args, const void *), format);
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (c.length == "L")
            return print_one(c.pattern, va_arg(args, long double));
        return print_one(c.pattern, va_arg(args, double));
    case '%': return "%";
    default: return c.pattern; // not a conversion printf knows: shown as written
    }
}

void append(std::string *out, const char *fmt, va_list args) {
    if (out)
        *out += format_trace(fmt, args);
}

} // namespace

std::string format_trace(const char *fmt, va_list args) {
    va_list ap;
    va_copy(ap, args);
    std::string text;
    const std::string_view format(fmt);
    size_t i = 0;
    while (fmt[i]) {
        if (fmt[i] != '%') {
            text += fmt[i++];
            continue;
        }
        const Conversion c = parse(fmt, i, ap);
        // The phy-state trace prints its entry's address with %x: only
        // whether there is one can be shown.
        const bool entry_address = c.type == 'x' && format.substr(0, i).ends_with("entry 0x");
        if (entry_address) {
            text += va_arg(ap, unsigned) != 0 ? "<entry>" : "0";
        } else {
            text += print_conversion(c, format, ap);
        }
        i = c.end;
    }
    va_end(ap);
    return text;
}

void set_trace_output(std::string *info, std::string *errors) {
    info_output = info;
    error_output = errors;
}

int trace_print(uint32_t, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    append(info_output, fmt, args);
    va_end(args);
    return 0;
}

int error_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    append(error_output, fmt, args);
    va_end(args);
    return 0;
}

} // namespace lcsim
