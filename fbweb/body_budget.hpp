// SPDX-License-Identifier: MIT
#pragma once
// The request bodies fbweb takes and how many large ones it reads and works
// on at once, so that concurrent large requests cannot exhaust a board's
// memory. Independent of the HTTP transport.
#include <cstddef>
#include <mutex>
#include <stdexcept>

namespace fbweb {

// The largest body taken (larger ones are answered 413): a whole network
// document of a board is tens of KiB; this leaves room for long float vectors.
constexpr std::size_t max_body_bytes = 1024 * 1024;

// Bodies up to this size are read and handled without a share of the budget.
constexpr std::size_t small_body_bytes = 64 * 1024;

// The bytes of larger bodies handled at once: one of the largest, or a few
// smaller ones. Reading a body costs up to about 70 times its size (an array
// of empty objects), so this keeps large requests to about 75 MiB together.
constexpr std::size_t large_bodies_in_flight = max_body_bytes;

// No room for a large body now (answered 503; the client may retry).
class budget_exhausted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A body over max_body_bytes (answered 413).
class body_too_large : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A counting semaphore over body bytes. A transport takes a share as soon as
// it knows a body's length (before reading it, where it can) and holds it
// until the response is sent; the share gives the bytes back when destroyed.
class body_budget {
public:
    explicit body_budget(std::size_t bytes = large_bodies_in_flight) : free_(bytes) {}
    body_budget(const body_budget&) = delete;
    body_budget& operator=(const body_budget&) = delete;

    class share {
    public:
        share(share&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.bytes_ = 0; }
        share(const share&) = delete;
        share& operator=(const share&) = delete;
        share& operator=(share&&) = delete;
        ~share();

    private:
        friend class body_budget;
        share(body_budget& budget, std::size_t bytes) : budget_(budget), bytes_(bytes) {}
        body_budget& budget_;
        std::size_t bytes_;
    };

    // A share for a body of `bytes`: nothing taken for a small body; throws
    // budget_exhausted when the large bodies in flight leave no room, and
    // body_too_large for a body over max_body_bytes.
    share take(std::size_t bytes);

    std::size_t free_bytes() const;

private:
    mutable std::mutex lock_;
    std::size_t free_;
};

}  // namespace fbweb
