#pragma once
// The exchange pattern shared by every int-coded device operation: with the
// session's mutex held, empty the request region, push the command code and
// the arguments in order, and execute. Results are popped by the caller while
// it still holds the lock.
#include <tarn/fb/driver.hpp>

namespace tarn {
namespace fb {

template <class... Args>
void driver::send(int code, const char* name, const Args&... args) {
    reset_request();
    fifo->push<int>(code);
    (fifo->push(args), ...);
    ioctl_with_int_cmd(name);
}

}  // namespace fb
}  // namespace tarn
