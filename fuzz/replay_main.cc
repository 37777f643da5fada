// SPDX-License-Identifier: MIT
// Runs fuzz inputs through the harness without libFuzzer: every file named
// on the command line, and every file of every directory named.  The seed
// corpus replayed this way is a regression test on every build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_entry.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputs(int argc, char **argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            files.emplace_back(argv[i]);
            continue;
        }
        std::vector<fs::path> dir;
        for (const fs::directory_entry &e : fs::directory_iterator(argv[i]))
            if (e.is_regular_file())
                dir.push_back(e.path());
        std::sort(dir.begin(), dir.end());
        files.insert(files.end(), dir.begin(), dir.end());
    }
    return files;
}

} // namespace

int main(int argc, char **argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    const std::vector<fs::path> files = inputs(argc, argv);
    for (const fs::path &file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    printf("replayed %zu inputs\n", files.size());
    return files.empty() ? 1 : 0;
}
