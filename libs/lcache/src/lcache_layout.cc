// SPDX-License-Identifier: MIT
// Compile-time checks of the records whose layout other components rely
// on: the change records on every target, the entries on the 32-bit
// platform the sizes are specified for.
#include <cstddef>

#include "lcache.h"

#define LC_AT(type, field, offset)                                                                 \
    static_assert(offsetof(type, field) == (offset), #type "." #field)

LC_AT(lcache_state_msg_t, if_index, 0);
LC_AT(lcache_state_msg_t, iod, 4);
LC_AT(lcache_state_msg_t, state, 8);
LC_AT(lcache_l2_msg_t, if_index, 0);
LC_AT(lcache_l2_msg_t, iod, 4);
LC_AT(lcache_l2_msg_t, state, 8);
LC_AT(lcache_l2_msg_t, mode_flags, 14);
LC_AT(lcache_l2_msg_t, mac, 16);
LC_AT(lcache_l2_msg_t, mtu, 24);
LC_AT(lcache_l2_msg_t, vlan_a, 36);
LC_AT(lcache_l2_msg_t, vlan_b, 40);
LC_AT(lcache_l3_msg_t, if_index, 0);
LC_AT(lcache_l3_msg_t, iod, 4);
LC_AT(lcache_l3_msg_t, state, 8);
LC_AT(lcache_l3_msg_t, mtu, 12);
LC_AT(lcache_agg_fop_msg_t, if_index, 0);
LC_AT(lcache_agg_fop_msg_t, old_fop, 8);
LC_AT(lcache_agg_fop_msg_t, new_fop, 12);
static_assert(sizeof(lcache_agg_fop_msg_t) == 16);
static_assert(sizeof(vlan_key_t) == 6);
static_assert(sizeof(lcache_print_str) == 128);
static_assert(sizeof(lcache_stats_t) ==
                  (3 * LCACHE_STAT_ROWS + 34 + 3 * LCACHE_VLAN_STAT_ROWS + 2) * 8,
              "the statistics block is only 64-bit counters");

#if defined(__i386__)
static_assert(sizeof(ht_link_t) == 8, "link area is 8 bytes on i386");
LC_AT(lcache_if_entry_t, if_index, 0);
LC_AT(lcache_if_entry_t, if_link, 4);
LC_AT(lcache_if_entry_t, iod, 12);
LC_AT(lcache_if_entry_t, iod_link, 16);
LC_AT(lcache_if_entry_t, pi, 24);
LC_AT(lcache_if_entry_t, pi_link, 28);
LC_AT(lcache_if_entry_t, lif, 36);
LC_AT(lcache_if_entry_t, lif_link, 40);
LC_AT(lcache_if_entry_t, mac, 48);
LC_AT(lcache_if_entry_t, encap, 54);
LC_AT(lcache_if_entry_t, extn, 56);
LC_AT(lcache_if_entry_t, extn3, 68);
LC_AT(lcache_if_entry_t, extn_size, 72);
LC_AT(lcache_if_entry_t, extn3_size, 84);
LC_AT(lcache_if_entry_t, ctx, 88);
LC_AT(lcache_if_entry_t, tid, 92);
LC_AT(lcache_if_entry_t, vlan, 96);
LC_AT(lcache_if_entry_t, mtu, 98);
LC_AT(lcache_if_entry_t, vlan_info, 100);
LC_AT(lcache_if_entry_t, flags, 104);
LC_AT(lcache_if_entry_t, flags2, 105);
LC_AT(lcache_if_entry_t, valid, 108);
LC_AT(lcache_if_entry_t, dirty, 112);
LC_AT(lcache_if_entry_t, agg_if, 116);
LC_AT(lcache_if_entry_t, if_type, 120);
LC_AT(lcache_if_entry_t, ref_count, 121);
LC_AT(lcache_if_entry_t, iod_remap_cnt, 122);
LC_AT(lcache_if_entry_t, pi_remap_cnt, 123);
LC_AT(lcache_if_entry_t, lif_remap_cnt, 124);
static_assert(sizeof(lcache_if_entry_t) == 128);
LC_AT(lcache_vlan_entry_t, vlan, 0);
LC_AT(lcache_vlan_entry_t, vlan_link, 4);
LC_AT(lcache_vlan_entry_t, bd, 12);
LC_AT(lcache_vlan_entry_t, fi, 16);
LC_AT(lcache_vlan_entry_t, pvlan, 20);
LC_AT(lcache_vlan_entry_t, dirty, 24);
static_assert(sizeof(lcache_vlan_entry_t) == 28);
static_assert(sizeof(lcache_attr) == 88);
static_assert(sizeof(lcache_stats_t) == 1056);
#endif
