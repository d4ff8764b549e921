// SPDX-License-Identifier: MIT
// The byte encoding of every value type, the header words, and what each kind
// of failed push or pop leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "window.hpp"

using namespace tarn::fb;
using detail::begin;
using detail::end;
using detail::pop_count;
using detail::push_count;
using detail::read_cursor;
using detail::write_cursor;
using testing_support::bytes;
using testing_support::cat;
using testing_support::error_of;
using testing_support::word;

namespace {

class fb_fifo : public ::testing::Test {
protected:
    testing_support::window w;
    fifo& f = w.fifo;

    // Leaves exactly `room` bytes free in the request region.
    void limit_request_room(std::uint32_t room) {
        auto r = w.request();
        r.set(end, r.word(write_cursor) + room);
    }
};

}  // namespace

TEST_F(fb_fifo, each_type_has_its_exact_encoding) {
    f.push<signed char>(-2);
    f.push<short>(-300);
    f.push<int>(-5);
    f.push<long long>(0x0102030405060708LL);
    f.push<unsigned char>(200);
    f.push<unsigned int>(0xdeadbeef);
    f.push<unsigned long long>(0xfffffffe00000001ULL);
    f.push<double>(1.5);
    f.push<float>(-2.0f);
    f.push<bool>(true);
    f.push<bool>(false);
    f.push(std::string("ab"));
    f.push(std::string());
    f.push(std::vector<float>{1.0f});
    f.push(std::vector<double>{});

    const bytes expected = cat({
        word(100),     {0xfe},
        word(101),     {0xd4, 0xfe},
        word(102),     {0xfb, 0xff, 0xff, 0xff},
        word(103),     {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},  // low word first
        word(104),     {200},
        word(106),     {0xef, 0xbe, 0xad, 0xde},
        word(107),     {0x01, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff},
        word(109),     {0, 0, 0, 0, 0, 0, 0xf8, 0x3f},
        word(110),     {0, 0, 0, 0xc0},
        word(114),     word(1),
        word(114),     word(0),
        word(108),     word(3),
        {'a', 'b', 0},  // length counts the NUL, no padding
        word(108),     word(1),
        {0},           word(111),
        word(1),       {0, 0, 0x80, 0x3f},
        word(112),     word(0),
    });
    EXPECT_EQ(w.request_bytes(), expected);
    EXPECT_EQ(w.request().word(push_count), 15u);
}

TEST_F(fb_fifo, values_read_back_at_unaligned_addresses) {
    f.push(std::string("xy"));  // 11 bytes: what follows is not 4-aligned
    f.push<int>(-123456);
    f.push<long long>(std::numeric_limits<long long>::min());
    f.push<unsigned long long>(std::numeric_limits<unsigned long long>::max());
    f.push<double>(-0.25);
    f.push<float>(3.5f);
    f.push<short>(std::numeric_limits<short>::min());
    f.push<signed char>(-128);
    f.push(std::string("with\0nul", 8));
    f.push(std::vector<double>{1.0, -2.0, 1e300});
    f.push(std::vector<float>{});
    w.loop_back();

    EXPECT_EQ(f.pop<std::string>(), "xy");
    EXPECT_EQ(f.pop<int>(), -123456);
    EXPECT_EQ(f.pop<long long>(), std::numeric_limits<long long>::min());
    EXPECT_EQ(f.pop<unsigned long long>(), std::numeric_limits<unsigned long long>::max());
    EXPECT_EQ(f.pop<double>(), -0.25);
    EXPECT_EQ(f.pop<float>(), 3.5f);
    EXPECT_EQ(f.pop<short>(), std::numeric_limits<short>::min());
    EXPECT_EQ(f.pop<signed char>(), -128);
    EXPECT_EQ(f.pop<std::string>(), std::string("with\0nul", 8));
    EXPECT_EQ(f.pop<std::vector<double>>(), (std::vector<double>{1.0, -2.0, 1e300}));
    EXPECT_TRUE(f.pop<std::vector<float>>().empty());
    EXPECT_EQ(w.reply().word(pop_count), 11u);
    EXPECT_EQ(w.reply().word(read_cursor), w.reply().word(write_cursor));
}

TEST_F(fb_fifo, reply_words_are_read_leniently) {
    // Any nonzero bool word is true; nil's payload byte is skipped unread.
    w.set_reply(cat({word(114), word(2), word(113), {0x55}, word(102), word(7)}));
    EXPECT_TRUE(f.pop<bool>());
    f.pop<nil>();
    EXPECT_EQ(f.pop<int>(), 7);
}

TEST_F(fb_fifo, failed_pushes_leave_the_documented_state) {
    // Room for the tag only: the tag stays written, write_cursor reaches end.
    limit_request_room(4);
    EXPECT_EQ(error_of([&] { f.push<int>(1); }), "push<int> failed");
    auto r = w.request();
    EXPECT_EQ(r.word(write_cursor), r.word(end));
    EXPECT_EQ(r.word(push_count), 1u);
    // No room at all: nothing written, the count still grows.
    EXPECT_EQ(error_of([&] { f.push<double>(1.0); }), "push<double> failed");
    EXPECT_EQ(r.word(push_count), 2u);
    EXPECT_EQ(r.word(write_cursor), r.word(end));

    r.clear();
    limit_request_room(10);  // a 2-char string needs 11 bytes
    EXPECT_EQ(error_of([&] { f.push(std::string("ab")); }), "push<std::__cxx11::basic_string<char> > failed");
    EXPECT_EQ(r.word(write_cursor), r.word(begin) + 4);
    r.clear();
    limit_request_room(11);
    f.push(std::string("ab"));  // exactly fits
    EXPECT_EQ(r.word(write_cursor), r.word(end));

    r.clear();
    limit_request_room(8 + 4 * 3 - 1);
    EXPECT_EQ(error_of([&] { f.push(std::vector<float>{1, 2, 3}); }), "push<std::vector<float> > failed");
    r.clear();
    limit_request_room(3);
    EXPECT_EQ(error_of([&] { f.push<unsigned int>(1); }), "push<unsigned int> failed");
    EXPECT_EQ(r.word(write_cursor), r.word(begin));
}

TEST_F(fb_fifo, every_type_names_itself_in_its_messages) {
    limit_request_room(0);
    const std::vector<std::pair<std::function<void()>, std::string>> pushes = {
        {[&] { f.push<bool>(true); }, "push<bool> failed"},
        {[&] { f.push<long long>(1); }, "push<long long int> failed"},
        {[&] { f.push<short>(1); }, "push<short int> failed"},
        {[&] { f.push<signed char>(1); }, "push<signed char> failed"},
        {[&] { f.push<unsigned long long>(1); }, "push<long long unsigned int> failed"},
        {[&] { f.push<unsigned char>(1); }, "push<unsigned char> failed"},
        {[&] { f.push<float>(1); }, "push<float> failed"},
        {[&] { f.push(std::vector<double>{}); }, "push<std::vector<double> > failed"},
    };
    for (const auto& p : pushes) EXPECT_EQ(error_of(p.first), p.second);

    const std::vector<std::pair<std::function<void()>, std::string>> pops = {
        {[&] { f.pop<std::string>(); }, "pop<std::__cxx11::basic_string<char> > failed"},
        {[&] { f.pop<bool>(); }, "pop<bool> failed"},
        {[&] { f.pop<nil>(); }, "pop<tarn::fb::nil> failed"},
        {[&] { f.pop<long long>(); }, "pop<long long int> failed"},
        {[&] { f.pop<int>(); }, "pop<int> failed"},
        {[&] { f.pop<short>(); }, "pop<short int> failed"},
        {[&] { f.pop<signed char>(); }, "pop<signed char> failed"},
        {[&] { f.pop<unsigned long long>(); }, "pop<long long unsigned int> failed"},
        {[&] { f.pop<unsigned int>(); }, "pop<unsigned int> failed"},
        {[&] { f.pop<unsigned char>(); }, "pop<unsigned char> failed"},
        {[&] { f.pop<double>(); }, "pop<double> failed"},
        {[&] { f.pop<float>(); }, "pop<float> failed"},
        {[&] { f.pop<std::vector<float>>(); }, "pop<std::vector<float> > failed"},
        {[&] { f.pop<std::vector<double>>(); }, "pop<std::vector<double> > failed"},
    };
    for (const auto& p : pops) EXPECT_EQ(error_of(p.first), p.second);
    EXPECT_EQ(w.reply().word(pop_count), pops.size());
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 0u);  // an empty region: nothing consumed
}

TEST_F(fb_fifo, failed_pops_consume_what_they_read) {
    // Wrong tag: the tag word is consumed, the string's length word is next.
    w.set_reply(cat({word(108), word(2), {'a', 0}}));
    EXPECT_THROW(f.pop<int>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 4u);

    // Tag right, payload incomplete: only the tag is consumed.
    w.set_reply(cat({word(102), {1, 2}}));
    EXPECT_THROW(f.pop<int>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 4u);
    w.set_reply(word(113));
    EXPECT_THROW(f.pop<nil>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 4u);

    // String: missing length word, then characters missing.
    w.set_reply(word(108));
    EXPECT_THROW(f.pop<std::string>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 4u);
    w.set_reply(cat({word(108), word(5), {'a', 'b'}}));
    EXPECT_THROW(f.pop<std::string>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 8u);
    // A length word of 0 describes no string.
    w.set_reply(cat({word(108), word(0), word(102), word(1)}));
    EXPECT_THROW(f.pop<std::string>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 8u);
    EXPECT_EQ(f.pop<int>(), 1);

    // An empty vector consumes 8 bytes; a short one its tag and count.
    w.set_reply(cat({word(111), word(0), word(112), word(2), {0, 0, 0, 0, 0, 0, 0xf0, 0x3f}}));
    EXPECT_TRUE(f.pop<std::vector<float>>().empty());
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 8u);
    EXPECT_THROW(f.pop<std::vector<double>>(), fifo::error);
    EXPECT_EQ(w.reply_offset_of_read_cursor(), 16u);
}

TEST_F(fb_fifo, huge_length_and_count_words_never_reach_past_the_data) {
    for (std::uint32_t huge : {0xffffffffu, 0x80000000u, 0x40000001u, 0x20000001u}) {
        w.set_reply(cat({word(108), word(huge), {'a', 0}}));
        EXPECT_THROW(f.pop<std::string>(), fifo::error) << huge;
        w.set_reply(cat({word(111), word(huge), word(0)}));
        EXPECT_THROW(f.pop<std::vector<float>>(), fifo::error) << huge;
        w.set_reply(cat({word(112), word(huge), word(0), word(0)}));
        EXPECT_THROW(f.pop<std::vector<double>>(), fifo::error) << huge;
        EXPECT_EQ(w.reply_offset_of_read_cursor(), 8u);
    }
}

TEST_F(fb_fifo, cursors_outside_the_region_are_never_followed) {
    auto r = w.reply();
    const std::uint32_t b = r.word(begin);
    const std::uint32_t e = r.word(end);
    struct hostile {
        const char* what;
        std::uint32_t words[4];  // begin, end, read_cursor, write_cursor
    };
    const hostile cases[] = {
        {"read cursor before begin", {b, e, b - 64, b + 8}},
        {"read cursor after write cursor", {b, e, b + 16, b + 8}},
        {"write cursor past end", {b, e, b, e + 16}},
        {"end past the region", {b, e + 4096, b, e + 8}},
        {"begin moved", {b - 24, e, b - 24, b + 8}},
        {"cursors in the request region", {b, e, b - 0x80000, b - 0x80000 + 8}},
        {"wrapping cursors", {b, e, 0xfffffffcu, 0xffffffffu}},
    };
    for (const auto& c : cases) {
        w.set_reply(cat({word(102), word(42)}));
        r.set(begin, c.words[0]);
        r.set(end, c.words[1]);
        r.set(read_cursor, c.words[2]);
        r.set(write_cursor, c.words[3]);
        EXPECT_EQ(error_of([&] { f.pop<int>(); }), "pop<int> failed") << c.what;
        EXPECT_EQ(error_of([&] { f.pop<std::string>(); }), "pop<std::__cxx11::basic_string<char> > failed") << c.what;
        EXPECT_EQ(r.word(read_cursor), c.words[2]) << c.what;  // nothing consumed
        r.set(begin, b);
        r.set(end, e);
    }
    // A request region whose write cursor was moved out of it takes no push.
    auto q = w.request();
    q.set(write_cursor, q.word(end) + 100);
    EXPECT_THROW(f.push<int>(1), fifo::error);
}
