// SPDX-License-Identifier: MIT
#pragma once
// What the session's constructor notes about its failure to open or map the
// device, for describe_failure(): the exception's text cannot carry it.
#include <sys/resource.h>

namespace tarn {
namespace fb {
namespace detail {

struct session_failure {
    int open_errno = 0;              // errno of the failed open, else 0
    int map_errno = 0;               // errno of the failed mmap, else 0
    rlim_t memlock = RLIM_INFINITY;  // the soft locked-memory limit then
};

// The calling thread's last failure (cleared by a construction that opens).
session_failure& last_session_failure();

}  // namespace detail
}  // namespace fb
}  // namespace tarn
