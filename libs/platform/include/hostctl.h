/* SPDX-License-Identifier: MIT */
/* System manager contract. */
#ifndef HOSTCTL_H
#define HOSTCTL_H

#include <stdint.h>

#include "peer_api.h"

PLATFORM_BEGIN_DECLS

/* The virtual device partition (slice) the calling process serves. */
PEER_API uint16_t hostctl_slice_get(void);

PLATFORM_END_DECLS

#endif
