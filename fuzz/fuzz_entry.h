// SPDX-License-Identifier: MIT
// The two entry points libFuzzer calls; replay_main.cc calls them too.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
