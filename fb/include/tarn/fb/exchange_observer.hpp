// SPDX-License-Identifier: MIT
#pragma once
// A hook on every command exchange with the device, for programs that count
// exchanges, refusals and their time (fbweb's metrics). Unset, an exchange
// pays one atomic load; set, it also reads the clock twice and calls the
// observer after the exchange, from the thread that ran it, with the
// session's mutex still held: the observer must be quick and must not use
// the session.
#include <tarn/fb/export.hpp>

namespace tarn {
namespace fb {

// `command` is the command's name (a string with static storage), `seconds`
// the exchange's time and `failed` whether it ended in driver::error (the
// device refused it or the ioctl failed).
using exchange_observer = void (*)(const char* command, double seconds, bool failed);

// Sets the process's one observer (nullptr: none); returns the one it replaces.
TARN_FB_EXPORT exchange_observer set_exchange_observer(exchange_observer observer) noexcept;

}  // namespace fb
}  // namespace tarn
