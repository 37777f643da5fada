// SPDX-License-Identifier: MIT
// The cache against the kernel and libnl on real veth sets in a private
// network namespace.  --sizes=64,1024 (or LCACHE_BENCH_SIZES) picks the
// interface counts; where no namespace can be made the program says so in
// one line and exits 0.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_set.h"
#include "linux_bench.h"
#include "netns.h"

namespace {

constexpr const char *kSizesFlag = "--sizes=";

// "64,1024" into its counts; empty when any item is not a positive count.
std::vector<uint32_t> parse_sizes(const char *text) {
    std::vector<uint32_t> sizes;
    for (const char *at = text; *at;) {
        char *end = nullptr;
        const unsigned long value = std::strtoul(at, &end, 10);
        if (end == at || value == 0 || value > 65536 || (*end != ',' && *end != '\0'))
            return {};
        sizes.push_back(static_cast<uint32_t>(value));
        at = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

// Takes --sizes= out of argv; the environment is the fallback.
const char *take_sizes(int &argc, char **argv) {
    const char *text = std::getenv("LCACHE_BENCH_SIZES");
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kSizesFlag, std::strlen(kSizesFlag)) == 0)
            text = argv[i] + std::strlen(kSizesFlag);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return text;
}

} // namespace

int main(int argc, char **argv) {
    const char *sizes_text = take_sizes(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::vector<uint32_t> sizes(std::begin(lbench::kDefaultSizes), std::end(lbench::kDefaultSizes));
    if (sizes_text) {
        sizes = parse_sizes(sizes_text);
        if (sizes.empty()) {
            std::fprintf(stderr, "lcache_linux_bench: bad sizes \"%s\" (expected e.g. 64,1024)\n", sizes_text);
            return 1;
        }
    }
    std::string why;
    if (!lcache_linux::enter_private_netns(why)) {
        std::printf("lcache_linux_bench: skipped: %s\n", why.c_str());
        return 0;
    }
    for (uint32_t pairs : sizes) {
        lbench::register_size(pairs);
        lbench::register_recovery(pairs);
        lbench::register_start(pairs);
    }
    benchmark::RunSpecifiedBenchmarks();
    lbench::HostSet::release();
    benchmark::Shutdown();
    return lbench::any_failure() ? 1 : 0;
}
