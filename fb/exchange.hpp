// SPDX-License-Identifier: MIT
#pragma once
// The exchange pattern shared by every int-coded device operation: with the
// session's mutex held, empty the request region, push the command code and
// the arguments in order, and execute. Results are popped by the caller while
// it still holds the lock. Argument lists of run-time length use
// start_request, their pushes and ioctl_with_int_cmd directly.
#include <tarn/fb/commands.hpp>
#include <tarn/fb/driver.hpp>

namespace tarn {
namespace fb {
namespace detail {

// Empties the request region and pushes the command code.
inline void start_request(driver& session, const protocol::command& c) {
    session.reset_request();
    session.fifo->push<int>(c.code);
}

template <const protocol::command& C, class... Args>
void send(driver& session, const Args&... args) {
    static_assert(C.code >= 0 && protocol::takes<Args...>(C), "the command's arguments");
    start_request(session, C);
    (session.fifo->push(args), ...);
    session.ioctl_with_int_cmd(C.name);
}

}  // namespace detail
}  // namespace fb
}  // namespace tarn
