// SPDX-License-Identifier: MIT
#pragma once
// Fault injection: FBEMU_FAULT=KIND[@N] makes the N-th ioctl of this process
// (counting from 1; N defaults to 1) misbehave once. A new value of the
// variable starts a new count.
#include <string>

#include <tarn/fb/fifo.hpp>

namespace fbemu {

enum class fault {
    none,
    ioctl,        // the ioctl fails with EIO; the command is not executed
    status,       // failure reply: status 7, code 42, "injected fault"
    status_bare,  // failure reply: status 7 and nothing else
    status_code,  // failure reply: status 7 and code 42, no message
    truncate,     // the real reply, its last byte cut off
    corrupt,      // the real reply, the tag of its first value after the status invalid
    cursor,       // the real reply, its cursors pointing outside the reply region
};

struct fault_plan {
    fault kind = fault::none;
    unsigned long at = 1;
};

// Parses "KIND[@N]"; throws failure naming the problem.
fault_plan parse_fault(const std::string& text);

// Counts this ioctl and returns the fault planned for it. Throws failure when
// FBEMU_FAULT cannot be parsed.
fault next_fault();

// Whether the fault replaces the reply without executing the command.
bool replaces_reply(fault f);
// Writes the injected failure reply into the (formatted, empty) reply region.
void write_fault_reply(fault f, tarn::fb::fifo& out);
// Damages the finished reply in the reply region at `reply_header`.
void damage_reply(fault f, unsigned char* reply_header);

}  // namespace fbemu
