/* SPDX-License-Identifier: MIT */
/* Routing-context service contract. */
#ifndef RTCTX_H
#define RTCTX_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

enum { RTCTX_AF_IPV4 = 1 };

/* Routing context of the interface; 0 = not known. */
PEER_API uint32_t rtctx_if_get_context_id(uint32_t iod);
/* Id of the table `name` of address family `af` in the interface's context;
 * 0 = not known. */
PEER_API uint32_t rtctx_if_get_table_id(uint32_t iod, uint32_t af, const char *name);

PLATFORM_END_DECLS

#endif
