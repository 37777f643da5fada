/* SPDX-License-Identifier: MIT */
/*
 * Stub of the port-channel manager's shared database.  It is what a process
 * gets when the port-channel manager itself is not linked: agg_get_pc_info
 * answers that no port-channel information is available.  A process that
 * links the real manager (or the simulated switch) ahead of it never
 * reaches the stub.
 */
#ifndef AGG_SDB_STUB_H
#define AGG_SDB_STUB_H

#include "agg.h"

/* Status of every stub answer: the port-channel database is not present. */
#define AGG_SDB_STUB_NO_DATABASE 0x40E40001u

#endif
