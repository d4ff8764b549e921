// SPDX-License-Identifier: MIT
// The executor on a window of its own: requests built by hand, malformed in
// every way a client could get wrong, and replies checked byte for byte
// through the value stream.
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "executor.hpp"
#include "foreign_window.hpp"
#include "window.hpp"

namespace {

using namespace testing_support;
namespace detail = tarn::fb::detail;

class emu_executor : public device_test {
protected:
    // Lays `request` into the request region as a client would.
    void set_request(const bytes& request) {
        auto r = w.request();
        r.clear();
        if (!request.empty()) std::memcpy(detail::pointer_to(r.word(detail::begin)), request.data(), request.size());
        r.add(detail::write_cursor, static_cast<std::uint32_t>(request.size()));
    }
    // Executes and reads a failure reply, which must be complete.
    void expect_failure(unsigned long request, int code, const std::string& fragment) {
        ASSERT_EQ(fbemu::execute(w.base, request), 0);
        EXPECT_NE(w.fifo.pop<int>(), 0);
        EXPECT_EQ(w.fifo.pop<int>(), code);
        const std::string message = w.fifo.pop<std::string>();
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
        EXPECT_TRUE(reply_consumed(w.fifo));
    }

    window w;
};

struct malformed {
    const char* name;
    unsigned long request;
    bytes content;
    int code;
    const char* message;
};

TEST_F(emu_executor, malformed_requests_get_failure_replies) {
    bytes cut_string = cat({word(tarn::fb::tag_string), word(100), {'a', 'b', 'c'}});
    const malformed cases[] = {
        {"empty request", 1, {}, 3, "command code missing"},
        {"code as text", 1, string_value("list_factories"), 2, "command code: int32 expected, found string"},
        {"code cut short", 1, cat({word(tarn::fb::tag_int32), {16}}), 3, "command code incomplete"},
        {"unknown code", 1, int_value(99), 4, "unknown command code 99"},
        {"argument missing", 1, int_value(17), 3, "factory name missing"},
        {"argument of another type", 1, cat({int_value(17), int_value(5)}), 2,
         "factory name: string expected, found int32"},
        {"argument with an unknown tag", 1, cat({int_value(17), word(999)}), 2,
         "factory name: string expected, found unknown tag 999"},
        {"string cut short", 1, cat({int_value(17), cut_string}), 3, "factory name incomplete"},
        {"ticket as int", 1, cat({int_value(4), int_value(8)}), 2, "ticket: uint32 expected, found int32"},
        {"trailing value", 1, cat({int_value(16), int_value(1)}), 5, "unexpected values after the arguments"},
        {"property value with an unknown tag", 1,
         cat({int_value(8), string_value("osc1"), string_value("frequency"), word(999)}), 2,
         "value of osc1.frequency: a value expected, found unknown tag 999"},
        {"end marker as a value", 1,
         cat({int_value(8), string_value("osc1"), string_value("frequency"), word(tarn::fb::tag_array_end)}), 2,
         "found an array end marker"},
        {"property value missing", 1, cat({int_value(8), string_value("osc1"), string_value("frequency")}), 3,
         "value of osc1.frequency missing"},
        {"activity flag 2", 1, cat({int_value(13), string_value("osc1"), int_value(2)}), 19,
         "activity flag must be 1 or 0, not 2"},
        {"resource number as int", 1, cat({int_value(15), string_value("a"), string_value("b"), int_value(1)}), 2,
         "number: uint32 expected, found int32"},
        {"unknown command name", 0, string_value("list_everything"), 4, "unknown command 'list_everything'"},
        {"command name as int", 0, int_value(16), 2, "command name: string expected, found int32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        set_request(c.content);
        expect_failure(c.request, c.code, c.message);
    }
    // None of them changed the network.
    struct stat st;
    EXPECT_NE(::stat(state.c_str(), &st), 0);
}

TEST_F(emu_executor, an_inconsistent_request_header_is_refused) {
    set_request(int_value(16));
    auto r = w.request();
    const std::uint32_t b = r.word(detail::begin), e = r.word(detail::end);
    const struct {
        detail::header_word word;
        std::uint32_t value;
    } damage[] = {
        {detail::begin, b + 4},        {detail::end, e + 4},         {detail::write_cursor, e + 1},
        {detail::read_cursor, b + 12}, {detail::read_cursor, b - 4},
    };
    for (const auto& d : damage) {
        set_request(int_value(16));
        r.set(d.word, d.value);
        expect_failure(1, 1, "request region header");
        r.set(detail::begin, b);
        r.set(detail::end, e);
    }
}

TEST_F(emu_executor, the_reply_is_placed_whatever_the_reply_header_held) {
    set_request(int_value(16));
    auto reply = w.reply();
    for (auto h :
         {detail::pop_count, detail::push_count, detail::begin, detail::end, detail::read_cursor, detail::write_cursor})
        reply.set(h, 0xfffffff0u);
    ASSERT_EQ(fbemu::execute(w.base, 1), 0);
    EXPECT_EQ(reply.word(detail::begin), detail::address_of(w.base + tarn::fb::reply_offset + 24));
    EXPECT_EQ(reply.word(detail::end), detail::address_of(w.base + tarn::fb::window_size));
    EXPECT_EQ(reply.word(detail::pop_count), 0u);
    EXPECT_EQ(w.fifo.pop<int>(), 0);
    const int count = w.fifo.pop<int>();
    EXPECT_EQ(count, 6);
    for (int i = 0; i < count; ++i) w.fifo.pop<std::string>();
    EXPECT_TRUE(reply_consumed(w.fifo));
}

TEST_F(emu_executor, a_reply_that_does_not_fit_becomes_a_failure) {
    // Blocks with 4000-character names: 100 fit into the 512 KiB reply region, 150 do not.
    const auto catalog_with = [&](int blocks) {
        std::string text = R"({"factories": [{"name": "f"}], "blocks": [)";
        for (int i = 0; i < blocks; ++i)
            text += (i ? "," : "") + std::string(R"({"name": ")") + std::string(4000, 'n') + std::to_string(i) +
                    R"(", "factory": "f", "ticket": )" + std::to_string(i + 1) + "}";
        write_file(path("many.json"), text + "]}");
        ::setenv("FBEMU_CATALOG", path("many.json").c_str(), 1);
    };
    catalog_with(100);
    set_request(cat({int_value(17), string_value("f")}));
    ASSERT_EQ(fbemu::execute(w.base, 1), 0);
    EXPECT_EQ(w.fifo.pop<int>(), 0);
    EXPECT_EQ(w.fifo.pop<int>(), 100);

    catalog_with(150);
    set_request(cat({int_value(17), string_value("f")}));
    expect_failure(1, 6, "reply too large");
}

TEST_F(emu_executor, other_requests_and_unreachable_windows_fail_the_ioctl) {
    errno = 0;
    EXPECT_EQ(fbemu::execute(w.base, 2), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(fbemu::execute(nullptr, 1), -1);
    EXPECT_EQ(errno, EFAULT);
}

// A device server maps the client's window at another address: the client
// lays out the request with its addresses, the server executes its copy, and
// the client reads the reply with its own addresses again.
TEST_F(emu_executor, a_window_mapped_elsewhere_is_served_with_the_clients_addresses) {
    window server;
    const std::uint32_t client_base = detail::address_of(w.base);
    auto exchange = [&](const bytes& request) {
        set_request(request);
        std::memcpy(server.base, w.base, tarn::fb::window_size);
        const int result = fbemu::execute_for(server.base, client_base, 1);
        std::memcpy(w.base, server.base, tarn::fb::window_size);
        return result;
    };
    ASSERT_EQ(exchange(cat({int_value(17), string_value("gain")})), 0);
    EXPECT_EQ(w.fifo.pop<int>(), 0);
    EXPECT_EQ(w.fifo.pop<int>(), 1);
    EXPECT_EQ(w.fifo.pop<std::string>(), "volume");
    EXPECT_TRUE(reply_consumed(w.fifo));

    // A header wrong in the client's mapping is wrong in the server's too.
    set_request(int_value(16));
    w.request().set(detail::begin, client_base + 4);
    std::memcpy(server.base, w.base, tarn::fb::window_size);
    ASSERT_EQ(fbemu::execute_for(server.base, client_base, 1), 0);
    std::memcpy(w.base, server.base, tarn::fb::window_size);
    EXPECT_NE(w.fifo.pop<int>(), 0);
    EXPECT_EQ(w.fifo.pop<int>(), 1);
}

}  // namespace
