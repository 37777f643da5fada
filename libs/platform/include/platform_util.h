/* SPDX-License-Identifier: MIT */
/* Small facilities of the operating system's support library. */
#ifndef PLATFORM_UTIL_H
#define PLATFORM_UTIL_H

#include <stdint.h>

#include "platform_api.h"

PLATFORM_BEGIN_DECLS

/* Writes a backtrace of the calling thread to the system log (LOG_USER) at
 * syslog priority `level`, headed by `function`. */
PLATFORM_API void syslog_backtrace(const char *function, int level);

/* A bitset is an array of 32-bit words: bit n is bit (n % 32) of word
 * n / 32.  Returns 1 when bit `bit` is set, else 0; NULL has no bit set. */
PLATFORM_API uint32_t bitset_is_bit_set(const uint32_t *bitset, uint32_t bit);
PLATFORM_API void bitset_set_bit(uint32_t *bitset, uint32_t bit);

/* Text of a 6-byte MAC address in dotted-quad-hex form, "0011.2233.4455".
 * The text lives in one of four static buffers used in turn, so up to four
 * results can be printed in one statement. */
PLATFORM_API const char *arp_print_macaddr(const uint8_t *mac);

PLATFORM_END_DECLS

#endif
