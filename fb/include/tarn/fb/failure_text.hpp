// SPDX-License-Identifier: MIT
#pragma once
// The text a front end shows for a failure: the exception's message, and for
// a device node the process may not open, or a window it may not lock in
// memory, the cause and its fix after it.
#include <exception>
#include <string>

#include <tarn/fb/export.hpp>

namespace tarn {
namespace fb {

// e.what(), followed by ": <cause>; <fix>" when `e` is the session's failure
// to open the node for want of permission ("permission denied; join the
// functionblocks group ...") or to map it under a locked-memory limit below
// the window ("locked-memory limit N KiB is below ..."). The cause is the one
// the last failed session construction of the calling thread recorded.
TARN_FB_EXPORT std::string describe_failure(const std::exception& e);

}  // namespace fb
}  // namespace tarn
