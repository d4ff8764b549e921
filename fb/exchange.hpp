// SPDX-License-Identifier: MIT
#pragma once
// The exchange pattern shared by every int-coded device operation: with the
// session's mutex held, empty the request region, push the command code and
// the arguments in order, and execute. Results are popped by the caller while
// it still holds the lock. Argument lists of run-time length use
// start_request, their pushes and ioctl_with_int_cmd directly.
#include <tarn/fb/driver.hpp>

namespace tarn {
namespace fb {

template <class... Args>
void driver::send(int code, const char* name, const Args&... args) {
    start_request(code);
    (fifo->push(args), ...);
    ioctl_with_int_cmd(name);
}

}  // namespace fb
}  // namespace tarn
