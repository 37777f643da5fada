/* SPDX-License-Identifier: MIT */
/* Declaration helpers for the peer services' contracts. */
#ifndef PEER_API_H
#define PEER_API_H

#include "platform_api.h"

/* Peer services are other libraries of the operating system; a process gets
 * them by linking the library that implements them. */
#define PEER_API PLATFORM_API

#endif
