// SPDX-License-Identifier: MIT
// The counting of large request bodies in flight.
#include "body_budget.hpp"

#include <string>

namespace fbweb {

body_budget::share::~share() {
    if (bytes_ == 0) return;
    const std::lock_guard<std::mutex> lock(budget_.lock_);
    budget_.free_ += bytes_;
}

body_budget::share body_budget::take(std::size_t bytes) {
    if (bytes > max_body_bytes)
        throw body_too_large("a body of " + std::to_string(bytes) + " bytes is over the limit of " +
                             std::to_string(max_body_bytes));
    if (bytes <= small_body_bytes) return share(*this, 0);
    const std::lock_guard<std::mutex> lock(lock_);
    if (bytes > free_) throw budget_exhausted("too many large requests at once; try again shortly");
    free_ -= bytes;
    return share(*this, bytes);
}

std::size_t body_budget::free_bytes() const {
    const std::lock_guard<std::mutex> lock(lock_);
    return free_;
}

}  // namespace fbweb
