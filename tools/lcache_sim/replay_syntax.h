// SPDX-License-Identifier: MIT
// The words and values of the scenario language (see replay.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/types.h"

namespace lcsim {

// A scenario line the replay cannot carry out; the replay adds the line.
class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The words of a line, without its comment ('#' to the end).
std::vector<std::string> split_words(std::string_view line);

// Decimal, or hexadecimal after "0x"; at most `max`.
uint32_t parse_number(std::string_view text, uint32_t max = 0xFFFFFFFF);
// "xxxx.xxxx.xxxx" or "xx:xx:xx:xx:xx:xx".
sim::Mac parse_mac(std::string_view text);
// One of two words: `yes` gives true, `no` false.
bool parse_choice(std::string_view text, const char *yes, const char *no);
// One of the words `names` holds, as the value it names; `what` says what
// kind of word was expected.
template <class T>
T parse_named(const std::map<std::string, T, std::less<>> &names, const std::string &word,
              const char *what) {
    const auto it = names.find(word);
    if (it == names.end())
        throw ScenarioError("no " + std::string(what) + " '" + word + "'");
    return it->second;
}

// key=value words, each key one of `keys`.
std::map<std::string, std::string> parse_options(std::span<const std::string> words,
                                                 std::initializer_list<const char *> keys);

} // namespace lcsim
