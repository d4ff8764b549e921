// SPDX-License-Identifier: MIT
// The property and port queries that hand the caller the session's lock with
// the reply: while the reply lives no other thread gets the session; a reply
// that goes and a failed query leave nothing locked.
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
    tarn::fb::locked_reply held = d.list_func_props("osc2", tarn::fb::keep_lock);
    EXPECT_TRUE(held.holds_lock());
    EXPECT_FALSE(free_for_others(d));
    tarn::fb::fifo& reply = held.reply();
    ASSERT_EQ(reply.pop<int>(), 3);
    EXPECT_EQ(tarn::fb::pop_property_entry(reply).value, "220.000000");
    tarn::fb::locked_reply moved = std::move(held);
    EXPECT_FALSE(free_for_others(d));
    moved.release();
    EXPECT_TRUE(free_for_others(d));
}

TEST_F(held_reply, a_reply_gives_the_lock_back_when_it_goes_and_a_failed_query_holds_nothing) {
    tarn::fb::driver d;
    d.list_func_outputs("osc2", tarn::fb::keep_lock);
    EXPECT_TRUE(free_for_others(d));
    EXPECT_THROW(d.list_func_props("no_such_block", tarn::fb::keep_lock), tarn::fb::driver::error);
    EXPECT_TRUE(free_for_others(d));
    EXPECT_EQ(d.list_func_inputs("mix", tarn::fb::keep_lock).reply().pop<int>(), 4);
}

}  // namespace
