// SPDX-License-Identifier: MIT
#include "replay_syntax.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace lcsim {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

} // namespace

std::vector<std::string> split_words(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

uint32_t parse_number(std::string_view text, uint32_t max) {
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        throw ScenarioError("bad number " + quoted(text));
    if (value > max)
        throw ScenarioError("number " + quoted(text) + " is above " + std::to_string(max));
    return static_cast<uint32_t>(value);
}

sim::Mac parse_mac(std::string_view text) {
    std::string hex;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dotted = text.size() == 14 && (i == 4 || i == 9) && c == '.';
        const bool colon = text.size() == 17 && i % 3 == 2 && c == ':';
        if (dotted || colon)
            continue;
        if (hex_digit(c) < 0)
            throw ScenarioError("bad MAC address " + quoted(text));
        hex += c;
    }
    if (hex.size() != 12)
        throw ScenarioError("bad MAC address " + quoted(text));
    sim::Mac mac{};
    for (size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<uint8_t>(hex_digit(hex[2 * i]) << 4 | hex_digit(hex[2 * i + 1]));
    return mac;
}

bool parse_choice(std::string_view text, const char *yes, const char *no) {
    if (text == yes)
        return true;
    if (text == no)
        return false;
    throw ScenarioError("expected '" + std::string(yes) + "' or '" + no + "', not " + quoted(text));
}

std::map<std::string, std::string> parse_options(std::span<const std::string> words,
                                                 std::initializer_list<const char *> keys) {
    std::map<std::string, std::string> options;
    for (const std::string &word : words) {
        const size_t equals = word.find('=');
        const std::string key = word.substr(0, equals);
        const bool known =
            std::any_of(keys.begin(), keys.end(), [&](const char *k) { return key == k; });
        if (equals == std::string::npos || !known)
            throw ScenarioError("unknown option " + quoted(word));
        options[key] = word.substr(equals + 1);
    }
    return options;
}

} // namespace lcsim
