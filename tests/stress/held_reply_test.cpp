// SPDX-License-Identifier: MIT
// The property and port queries that hand the caller the session's lock:
// while the caller holds it no other thread gets the session; a failed query
// and a query made while still holding an earlier reply leave nothing locked.
#include <string>
#include <thread>

#include <tarn/fb/entries.hpp>

#include "device_fixture.hpp"

namespace {

// Whether another thread could take the session's mutex right now.
bool free_for_others(tarn::fb::driver& d) {
    bool taken = false;
    std::thread([&] {
        taken = d.mutex.try_lock();
        if (taken) d.mutex.unlock();
    }).join();
    return taken;
}

class held_reply : public device_test {};

TEST_F(held_reply, the_session_stays_locked_until_the_reply_is_released) {
    tarn::fb::driver d;
    std::unique_lock<std::mutex> held;
    tarn::fb::fifo& reply = d.list_func_props("osc2", held);
    EXPECT_TRUE(held.owns_lock());
    EXPECT_FALSE(free_for_others(d));
    ASSERT_EQ(reply.pop<int>(), 3);
    EXPECT_EQ(tarn::fb::pop_property_entry(reply).value, "220.000000");
    held.unlock();
    EXPECT_TRUE(free_for_others(d));
}

TEST_F(held_reply, a_new_query_releases_the_earlier_reply_and_a_failed_one_holds_nothing) {
    tarn::fb::driver d;
    std::unique_lock<std::mutex> held;
    d.list_func_outputs("osc2", held);
    tarn::fb::fifo& inputs = d.list_func_inputs("mix", held);  // would deadlock if the first were kept
    EXPECT_EQ(inputs.pop<int>(), 4);
    EXPECT_THROW(d.list_func_props("no_such_block", held), tarn::fb::driver::error);
    EXPECT_FALSE(held.owns_lock());
    EXPECT_TRUE(free_for_others(d));
}

}  // namespace
