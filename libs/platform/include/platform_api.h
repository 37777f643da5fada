/* SPDX-License-Identifier: MIT */
/* Export marker and C/C++ helpers shared by the platform's headers. */
#ifndef PLATFORM_API_H
#define PLATFORM_API_H

#define PLATFORM_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define PLATFORM_BEGIN_DECLS extern "C" {
#define PLATFORM_END_DECLS }
#define PLATFORM_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define PLATFORM_BEGIN_DECLS
#define PLATFORM_END_DECLS
#define PLATFORM_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#endif
