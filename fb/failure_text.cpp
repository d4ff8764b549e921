// SPDX-License-Identifier: MIT
// describe_failure(): the exception's text with the cause and fix of a device
// the process may not use.
#include <cerrno>
#include <cstring>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/failure_text.hpp>

#include "session_failure.hpp"

namespace tarn {
namespace fb {

namespace detail {
session_failure& last_session_failure() {
    thread_local session_failure noted;
    return noted;
}
}  // namespace detail

namespace {

// The group that owns the device node on a board, and the window in KiB.
constexpr const char* device_group = "functionblocks";
constexpr rlim_t window_kib = window_size / 1024;

// The constructor's two messages; the hint goes only after these.
constexpr const char* open_failure = "driver(): could not open /dev/functionblocks";
constexpr const char* map_failure = "driver(): could not map /dev/functionblocks";

std::string open_hint(int error) {
    if (error != EACCES && error != EPERM) return {};
    return std::string("permission denied; join the ") + device_group + " group (adduser USER " + device_group + ")";
}

// The kernel refuses a locked mapping past the limit with EAGAIN.
std::string map_hint(int error, rlim_t limit) {
    if (error != EAGAIN || limit == RLIM_INFINITY || limit / 1024 >= window_kib) return {};
    return "locked-memory limit " + std::to_string(limit / 1024) + " KiB is below the " + std::to_string(window_kib) +
           " KiB window; raise it (ulimit -l " + std::to_string(window_kib) +
           ", LimitMEMLOCK=1M or /etc/security/limits.d)";
}

}  // namespace

std::string describe_failure(const std::exception& e) {
    std::string text = e.what();
    const auto* session_error = dynamic_cast<const driver::error*>(&e);
    if (!session_error || session_error->code != 0) return text;
    const detail::session_failure& noted = detail::last_session_failure();
    std::string hint;
    if (text == open_failure)
        hint = open_hint(noted.open_errno);
    else if (text == map_failure)
        hint = map_hint(noted.map_errno, noted.memlock);
    return hint.empty() ? text : text + ": " + hint;
}

}  // namespace fb
}  // namespace tarn
