// SPDX-License-Identifier: MIT
// The device session against a fake device: the requests each operation
// sends, how replies and failure statuses are read, and that the session stays
// usable after every failure.
#include <gtest/gtest.h>

#include <tarn/fb/exchange_observer.hpp>

#include "fake_device.hpp"
#include "stream.hpp"
#include "window.hpp"

using namespace tarn::fb;
using testing_support::stream;

namespace {

stream ok() { return stream().i32(0); }

// The request bytes that pushing the given values produces.
template <class... Args>
std::vector<unsigned char> request_of(const Args&... args) {
    testing_support::window w;
    (w.fifo.push(args), ...);
    return w.request_bytes();
}

struct thrown {
    int code = -1;
    std::string message;
};
template <class F>
thrown device_error(F&& f) {
    try {
        f();
    } catch (const driver::error& e) {
        return {e.code, e.what()};
    }
    return {};
}

class fb_driver_session : public ::testing::Test {
protected:
    void SetUp() override { fake_device::set_present(true); }
    driver session;

    const fake_device::request& only_request() {
        const auto& r = fake_device::requests();
        EXPECT_EQ(r.size(), 1u);
        return r.at(0);
    }
};

}  // namespace

TEST_F(fb_driver_session, the_window_is_laid_out_as_two_regions) {
    auto* base = static_cast<unsigned char*>(session.shm);
    const std::uint32_t b = detail::address_of(base);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(session.fifo->request_header, base);
    EXPECT_EQ(session.fifo->reply_header, base + 0x80000);
    const std::uint32_t expected_request[] = {0, 0, b + 0x18, b + 0x80000, b + 0x18, b + 0x18};
    const std::uint32_t expected_reply[] = {0, 0, b + 0x80018, b + 0x100000, b + 0x80018, b + 0x80018};
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_EQ(detail::load32(base + 4 * i), expected_request[i]) << i;
        EXPECT_EQ(detail::load32(base + 0x80000 + 4 * i), expected_reply[i]) << i;
    }
}

TEST_F(fb_driver_session, editing_operations_send_their_code_and_typed_arguments) {
    struct op {
        const char* what;
        std::function<void()> run;
        std::vector<unsigned char> expected;
    };
    const std::string a("a.out"), b("b.in");
    const op ops[] = {
        {"destroy", [&] { session.destroy(7); }, request_of(4, 7u)},
        {"connect", [&] { session.connect(a, b); }, request_of(5, a, b)},
        {"connect_unchecked", [&] { session.connect_unchecked(a, b); }, request_of(6, a, b)},
        {"disconnect", [&] { session.disconnect(a, b); }, request_of(7, a, b)},
        {"activate", [&] { session.activate("blk", true); }, request_of(13, std::string("blk"), 1)},
        {"deactivate", [&] { session.activate("blk", false); }, request_of(13, std::string("blk"), 0)},
        {"res_method, four texts", [&] { session.write_resource_meth("t1", "t2", "t3", "", 9); },
         request_of(15, std::string("t1"), std::string("t2"), 9u, std::string("t3"))},
        {"res_method, five texts", [&] { session.write_resource_meth("t1", "t2", "t3", "t4", 9); },
         request_of(15, std::string("t1"), std::string("t2"), 9u, std::string("t3"), std::string("t4"))},
    };
    for (const auto& o : ops) {
        fake_device::answer(ok().bytes);
        o.run();
        EXPECT_EQ(only_request().code, 1u) << o.what;
        EXPECT_EQ(only_request().bytes, o.expected) << o.what;
    }

    fake_device::answer(ok().scalar(tag_uint32, 42u).bytes);
    EXPECT_EQ(session.create("gain", "g1"), 42u);
    EXPECT_EQ(only_request().bytes, request_of(3, std::string("gain"), std::string("g1")));
}

TEST_F(fb_driver_session, failure_statuses_become_device_errors) {
    struct reply {
        const char* what;
        stream bytes;
        int code;
        std::string message;
    };
    const reply replies[] = {
        {"code and message", stream().i32(3).i32(42).str("busy"), 42, "connect: busy"},
        {"status alone", stream().i32(3), 0, "connect: error code and/or message not found"},
        {"code without message", stream().i32(3).i32(42), 0, "connect: error code and/or message not found"},
        {"message of another type", stream().i32(-1).i32(42).i32(5), 0, "connect: error code and/or message not found"},
    };
    for (const auto& r : replies) {
        fake_device::answer(r.bytes.bytes);
        const thrown e = device_error([&] { session.connect("a.out", "b.in"); });
        EXPECT_EQ(e.code, r.code) << r.what;
        EXPECT_EQ(e.message, r.message) << r.what;
        // The lock was released and the next exchange works.
        fake_device::answer(ok().bytes);
        session.disconnect("a.out", "b.in");
    }

    fake_device::answer(ok().bytes, -1);
    const thrown e = device_error([&] { session.destroy(1); });
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.message, "destroy: ioctl failed");

    // Status 0 without the ticket: the value stream's failure, nothing half done.
    fake_device::answer(ok().bytes);
    EXPECT_THROW(session.create("gain", "g"), fifo::error);
    fake_device::answer(stream().then(ok()).scalar(tag_uint32, 5u).bytes);
    EXPECT_EQ(session.create("gain", "g"), 5u);
}

namespace {

// What the exchange observer was told, in order.
std::vector<std::pair<std::string, bool>> observed;
void observe(const char* command, double seconds, bool failed) {
    EXPECT_GE(seconds, 0.0);
    observed.emplace_back(command, failed);
}

}  // namespace

TEST_F(fb_driver_session, the_exchange_observer_sees_every_exchange_and_each_failure) {
    observed.clear();
    EXPECT_EQ(set_exchange_observer(observe), nullptr);
    fake_device::answer(ok().bytes);
    session.connect("a.out", "b.in");
    fake_device::answer(stream().i32(3).i32(42).str("busy").bytes);
    EXPECT_THROW(session.disconnect("a.out", "b.in"), driver::error);
    fake_device::answer(ok().bytes, -1);
    EXPECT_THROW(session.destroy(1), driver::error);
    // The device answered; only the reply's contents were wrong.
    fake_device::answer(ok().bytes);
    EXPECT_THROW(session.create("gain", "g"), fifo::error);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"connect", false}, {"disconnect", true}, {"destroy", true}, {"create", false}};
    EXPECT_EQ(observed, expected);

    EXPECT_EQ(set_exchange_observer(nullptr), &observe);
    fake_device::answer(ok().bytes);
    session.connect("a.out", "b.in");
    EXPECT_EQ(observed.size(), expected.size());
}

TEST_F(fb_driver_session, name_lists_are_sorted_sets_after_a_count_line) {
    fake_device::answer(ok().i32(3).str("b").str("a").str("b").bytes);
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.list_factories(), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "list factories: count = 3\n");
    EXPECT_EQ(only_request().bytes, request_of(16));

    fake_device::answer(ok().i32(-2).bytes);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(session.list_funcs("mixer").empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "list funcs: count = -2\n");
    EXPECT_EQ(only_request().bytes, request_of(17, std::string("mixer")));

    // A name missing from the reply: the count line stays, the set is dropped.
    fake_device::answer(ok().i32(2).str("x").bytes);
    testing::internal::CaptureStdout();
    EXPECT_THROW(session.list_funcs("m"), fifo::error);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "list funcs: count = 2\n");

    // The entry queries only position the reply at the count.
    fake_device::answer(ok().i32(1).bytes);
    EXPECT_EQ(session.list_func_inputs("blk").pop<int>(), 1);
    EXPECT_EQ(only_request().bytes, request_of(20, std::string("blk")));
}

TEST_F(fb_driver_session, output_connections_use_the_named_request) {
    const auto named = request_of(std::string("list_output_cons"), std::string("osc.out"));
    fake_device::answer(ok().i32(2).str("b.in").str("a.in").bytes);
    EXPECT_EQ(session.list_output_cons("osc.out"), (std::set<std::string>{"a.in", "b.in"}));
    EXPECT_EQ(only_request().code, 0u);
    EXPECT_EQ(only_request().bytes, named);

    // The count alone; the names stay unread and the next command still works.
    fake_device::answer(ok().i32(2).str("b.in").str("a.in").bytes);
    EXPECT_EQ(session.output_connections_count("osc.out"), 2);
    EXPECT_EQ(only_request().bytes, named);

    for (auto op : {+[](driver& d) { d.list_output_cons("x"); }, +[](driver& d) { d.output_connections_count("x"); }}) {
        fake_device::answer(stream().i32(5).i32(42).str("whatever").bytes);
        thrown e = device_error([&] { op(session); });
        EXPECT_EQ(e.code, 0);
        EXPECT_EQ(e.message, "list_output_cons: bad return value");
        fake_device::answer(ok().bytes, 1);
        e = device_error([&] { op(session); });
        EXPECT_EQ(e.message, "list_output_cons: ioctl failed");
    }
}

TEST(fb_driver_instance, a_missing_device_is_tried_again_on_the_next_call) {
    fake_device::set_present(false);
    const int opens = fake_device::open_count();
    const thrown e = device_error([] { driver::instance(); });
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.message, "driver(): could not open /dev/functionblocks");
    EXPECT_THROW(driver::instance(), driver::error);
    EXPECT_EQ(fake_device::open_count(), opens + 2);

    fake_device::set_present(true);
    driver& session = driver::instance();
    EXPECT_EQ(&driver::instance(), &session);  // built once, then kept
    EXPECT_EQ(fake_device::open_count(), opens + 3);
    fake_device::answer(ok().i32(0).bytes);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(session.list_factories().empty());
    testing::internal::GetCapturedStdout();
}
