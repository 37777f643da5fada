// SPDX-License-Identifier: MIT
// What both programs' command lines share: the version line, one-line
// errors, one way of reading numbers, and output that must reach its file.
#pragma once

#include <CLI/CLI.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "exit_status.h"
#include "version.h"

namespace tooluse {

// A number of `T` from `min` to `max`: decimal, or hexadecimal after "0x".
// CLI11 alone would read "-1" as its two's complement and clamp what is too
// large to the type's maximum.
template <class T>
CLI::Validator number(T min = std::numeric_limits<T>::min(),
                      T max = std::numeric_limits<T>::max()) {
    return CLI::Validator(
        [min, max](std::string &text) {
            std::string_view digits = text;
            int base = 10;
            if (digits.starts_with("0x") || digits.starts_with("0X")) {
                digits.remove_prefix(2);
                base = 16;
            }
            T value{};
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
                value < min || value > max)
                return "'" + text + "' is not a number from " + std::to_string(min) + " to " +
                       std::to_string(max);
            return std::string();
        },
        std::to_string(min) + "-" + std::to_string(max), "number");
}

// Every error of `app` as one line: "program: what".
inline void one_line_errors(CLI::App &app, const char *program) {
    app.failure_message([program](const CLI::App *, const CLI::Error &e) {
        return std::string(program) + ": " + e.what() + "\n";
    });
    app.set_version_flag("--version", version_line(program));
}

// A first word that is neither an option nor one of `app`'s subcommands;
// CLI11 would only say a subcommand is required.
inline bool unknown_subcommand(const CLI::App &app, int argc, char **argv, const char *program) {
    if (argc < 2 || argv[1][0] == '-')
        return false;
    for (const CLI::App *sub : app.get_subcommands({}))
        if (sub->get_name() == argv[1])
            return false;
    std::fprintf(stderr, "%s: unknown subcommand '%s'\n", program, argv[1]);
    return true;
}

// The exit status once `app` has read the command line: none to go on.
// Its subcommands take --version as well.
inline std::optional<int> parse(CLI::App &app, int argc, char **argv, const char *program) {
    for (CLI::App *sub : app.get_subcommands({}))
        sub->set_version_flag("--version", version_line(program));
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError &e) {
        return app.exit(e) == 0 ? kExitOk : kExitMisuse;
    }
}

// `status`, unless what was written to standard output or error did not
// reach it: a full disk or a closed pipe fails the run, with a line on
// standard error when that still can be written.
inline int finish(int status, const char *program) {
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout.good()) {
        const int error = errno;
        std::fprintf(stderr, "%s: cannot write standard output: %s\n", program,
                     error ? std::strerror(error) : "write error");
        status = kExitFailed;
    }
    std::cerr.flush();
    if (std::fflush(stderr) != 0 || std::ferror(stderr) || !std::cerr.good())
        status = kExitFailed;
    return status;
}

} // namespace tooluse
