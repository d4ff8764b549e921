// SPDX-License-Identifier: MIT
// The budget of large request bodies: what it lets through at once, and that
// every share comes back, also from threads racing for it.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "body_budget.hpp"

namespace {

using fbweb::body_budget;

TEST(BodyBudget, LargeBodiesShareTheBudgetSmallOnesAreFree) {
    body_budget budget;
    const std::size_t large = fbweb::large_bodies_in_flight / 2;
    {
        const auto first = budget.take(large);
        const auto second = budget.take(large);
        EXPECT_THROW(budget.take(fbweb::small_body_bytes + 1), fbweb::budget_exhausted);
        // Small bodies pass while the large ones wait.
        const auto small = budget.take(fbweb::small_body_bytes);
        EXPECT_EQ(budget.free_bytes(), 0U);
    }
    EXPECT_EQ(budget.free_bytes(), fbweb::large_bodies_in_flight);
    EXPECT_THROW(budget.take(fbweb::max_body_bytes + 1), fbweb::body_too_large);
    EXPECT_EQ(budget.free_bytes(), fbweb::large_bodies_in_flight);
}

TEST(BodyBudget, MovedShareGivesItsBytesBackOnce) {
    body_budget budget;
    {
        auto share = budget.take(fbweb::max_body_bytes);
        const body_budget::share moved(std::move(share));
        EXPECT_EQ(budget.free_bytes(), fbweb::large_bodies_in_flight - fbweb::max_body_bytes);
    }
    EXPECT_EQ(budget.free_bytes(), fbweb::large_bodies_in_flight);
}

TEST(BodyBudget, RacingThreadsNeverHoldMoreThanTheBudget) {
    body_budget budget;
    const std::size_t body = fbweb::large_bodies_in_flight / 3;  // three fit at once, not four
    std::atomic<int> holding{0}, most{0}, refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                try {
                    const auto share = budget.take(body);
                    const int now = ++holding;
                    int seen = most.load();
                    while (now > seen && !most.compare_exchange_weak(seen, now)) {
                    }
                    --holding;
                } catch (const fbweb::budget_exhausted&) {
                    ++refused;
                }
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_LE(most.load(), 3);
    EXPECT_EQ(budget.free_bytes(), fbweb::large_bodies_in_flight);
}

}  // namespace
