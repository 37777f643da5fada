// SPDX-License-Identifier: MIT
// The cache's traces as text that two runs print alike.  The cache's
// formats print the addresses of its entries and tables; those differ from
// run to run, so they are shown as what they point at instead:
// <if-entry 0x1a001001>, <vlan-entry 100>, <vlan_table>.  Everything else
// is formatted exactly as printf would.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

namespace lcsim {

std::string format_trace(const char *fmt, va_list args);

// Where the sinks below append their text; nullptr drops it.
void set_trace_output(std::string *info, std::string *errors);

// lcache_set_print's kind of sink, for info traces.
int trace_print(uint32_t arg, const char *fmt, ...);
// The attribute block's error_printf, for error reports.
int error_printf(const char *fmt, ...);

} // namespace lcsim
