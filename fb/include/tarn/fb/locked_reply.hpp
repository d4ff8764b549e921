// SPDX-License-Identifier: MIT
#pragma once
// tarn::fb::locked_reply: the results of a property or port query, left in
// the reply region, together with the session's lock, so that no other
// exchange can replace them while they are read.
#include <mutex>
#include <utility>

#include <tarn/fb/fifo.hpp>

namespace tarn {
namespace fb {

// Asks a property or port query to hand over the session's lock with the results.
struct keep_lock_t {
    explicit keep_lock_t() = default;
};
inline constexpr keep_lock_t keep_lock{};

class locked_reply {
public:
    locked_reply(std::unique_lock<std::mutex> lock, tarn::fb::fifo& reply) : lock_(std::move(lock)), reply_(&reply) {}

    // The session's value stream, positioned at the query's first result.
    tarn::fb::fifo& reply() const { return *reply_; }
    // Whether the session is still locked by this object.
    bool holds_lock() const { return lock_.owns_lock(); }
    // Lets the session go before this object does; the results may be replaced from now on.
    void release() {
        if (lock_.owns_lock()) lock_.unlock();
    }

private:
    std::unique_lock<std::mutex> lock_;
    tarn::fb::fifo* reply_;
};

}  // namespace fb
}  // namespace tarn
