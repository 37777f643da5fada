// SPDX-License-Identifier: MIT
// MAC address text.
#include "platform_util.h"

#include <cstdio>

namespace {

constexpr int kBuffers = 4;
constexpr int kMacText = sizeof "0011.2233.4455";

char texts[kBuffers][kMacText];
unsigned next_text;

} // namespace

extern "C" {

const char *arp_print_macaddr(const uint8_t *mac) {
    static const uint8_t kNoMac[6] = {};
    const uint8_t *m = mac ? mac : kNoMac;
    char *text = texts[next_text++ % kBuffers];
    snprintf(text, kMacText, "%02x%02x.%02x%02x.%02x%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

} // extern "C"
