/* SPDX-License-Identifier: MIT */
/* The simulated switch for C programs: one call loads a typical leaf
 * switch as the model every peer function answers from. */
#ifndef SIM_SIM_C_H
#define SIM_SIM_C_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Replaces the process-wide model with the default leaf switch (mgmt0 gets
 * iod 1, then the Ethernet ports, ...).  Returns the number of interfaces,
 * or 0 when the model could not be built. */
__attribute__((visibility("default"))) uint32_t sim_load_leaf_switch(void);

#ifdef __cplusplus
}
#endif

#endif
