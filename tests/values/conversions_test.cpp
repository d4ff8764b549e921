// SPDX-License-Identifier: MIT
// The next value of any scalar type as a number and as text: every tag,
// incomplete payloads, and what each failure consumes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "stream.hpp"
#include "window.hpp"

using namespace tarn::fb;
using testing_support::stream;

namespace {

// A double as text that tells any two doubles apart.
std::string exact(double d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", d);
    return text;
}

class values_conversions : public ::testing::Test {
protected:
    testing_support::window w;
    fifo& f = w.fifo;

    // The result of pop_as_string (or, with `as_number`, of pop_as_double) or
    // its error, then where the read cursor stopped and the pop count.
    std::string read(const stream& reply, bool as_number) {
        w.set_reply(reply.bytes);
        std::string out;
        try {
            out = as_number ? exact(f.pop_as_double()) : f.pop_as_string();
        } catch (const fifo::error& e) {
            out = std::string("error ") + e.what();
        }
        return out + " @" + std::to_string(w.reply_offset_of_read_cursor()) + " #" +
               std::to_string(w.reply().word(detail::pop_count));
    }
};

}  // namespace

TEST_F(values_conversions, every_tag_as_number_and_as_text) {
    const struct {
        stream value;
        double number;
        std::string text;
    } cases[] = {
        {stream().scalar<signed char>(tag_int8, -7), -7, "-7"},
        {stream().scalar<short>(tag_int16, -300), -300, "-300"},
        {stream().i32(-5), -5, "-5"},
        {stream().scalar(tag_int64, (1LL << 53) + 1), 9007199254740992.0, "9007199254740993"},
        {stream().scalar<unsigned char>(tag_uint8, 65), 65, "65"},
        {stream().scalar<unsigned short>(tag_uint16, 65535), 65535, "65535"},
        {stream().scalar(tag_uint32, 4294967295u), 4294967295.0, "4294967295"},
        {stream().scalar(tag_uint64, ~0ULL), 18446744073709551616.0, "18446744073709551615"},
        {stream().scalar(tag_double, 1e20), 1e20, "100000000000000000000.000000"},
        {stream().scalar(tag_float, 0.1f), static_cast<double>(0.1f), "0.100000"},
        {stream().scalar(tag_bool, 7u), 1, "true"},
        {stream().scalar(tag_bool, 0u), 0, "false"},
        // A numeric vector stands for its first element; all of it is consumed.
        {stream().tag(tag_float_vector).tag(1).payload(2.5f), 2.5, "2.500000"},
        {stream().tag(tag_double_vector).tag(3).payload(0.125).payload(9.0).payload(9.0), 0.125, "0.125000"},
    };
    for (const auto& c : cases) {
        const std::string end = " @" + std::to_string(c.value.bytes.size()) + " #1";
        EXPECT_EQ(read(c.value, true), exact(c.number) + end) << c.text;
        EXPECT_EQ(read(c.value, false), c.text + end);
    }
}

TEST_F(values_conversions, incomplete_scalar_payloads_read_as_zero_after_the_tag) {
    const std::pair<std::uint32_t, std::string> zero_texts[] = {
        {tag_int8, "0"},          {tag_int16, "0"},        {tag_int32, "0"},    {tag_int64, "0"},
        {tag_uint8, "0"},         {tag_uint16, "0"},       {tag_uint32, "0"},   {tag_uint64, "0"},
        {tag_double, "0.000000"}, {tag_float, "0.000000"}, {tag_bool, "false"},
    };
    for (const auto& z : zero_texts) {
        stream value = stream().tag(z.first);  // then one byte short of the payload
        for (std::uint32_t i = 1; i < payload_size(z.first); ++i) value.raw({0xff});
        EXPECT_EQ(read(value, true), "0 @4 #1") << z.first;
        EXPECT_EQ(read(value, false), z.second + " @4 #1");
    }
}

TEST_F(values_conversions, failures_and_what_they_consume) {
    const struct {
        stream reply;
        std::string as_number, as_text;
    } cases[] = {
        {stream(), "error pop_as_double: could no retrieve type @0 #0",
         "error pop_as_string: could no retrieve type @0 #0"},
        {stream().raw({102, 0, 0}), "error pop_as_double: could no retrieve type @0 #0",
         "error pop_as_string: could no retrieve type @0 #0"},
        {stream().tag(tag_array_begin).tag(tag_array_end),
         "error pop_as_double: unsupported function block fifo type @0 #0", "error pop_as_string: unknown type @0 #0"},
        {stream().tag(119), "error pop_as_double: unsupported function block fifo type @0 #0",
         "error pop_as_string: unknown type @0 #0"},
        {stream().nil().i32(1), "error pop_as_double: no value available in function block fifo @5 #1", "nil @5 #1"},
        {stream().tag(tag_nil), "error pop_as_double: no value available in function block fifo @4 #1", "nil @4 #1"},
        // A string is left unread for pop<std::string>.
        {stream().str("abc"), "error pop_as_double: no number @0 #0", "abc @12 #1"},
        {stream().str(std::string("a\0b", 3)), "error pop_as_double: no number @0 #0",
         std::string("a\0b", 3) + " @12 #1"},
        {stream().tag(tag_string).raw({1, 0}), "error pop_as_double: no number @0 #0", " @4 #1"},
        {stream().tag(tag_string).tag(0).i32(1), "error pop_as_double: no number @0 #0",
         "error pop_as_string: incomplete string @8 #1"},
        {stream().tag(tag_string).tag(0xffffffff).raw({'a'}), "error pop_as_double: no number @0 #0",
         "error pop_as_string: incomplete string @8 #1"},
        // Numeric vectors: no count, count 0, missing elements.
        {stream().tag(tag_float_vector).raw({1, 0}), "error array empty @4 #1", "error array empty @4 #1"},
        {stream().tag(tag_double_vector).tag(0).i32(1), "error array empty @8 #1", "error array empty @8 #1"},
        {stream().tag(tag_double_vector).tag(2).payload(1.0), "error array incomplete @8 #1",
         "error array incomplete @8 #1"},
        {stream().tag(tag_float_vector).tag(0xffffffff).payload(1.0f), "error array incomplete @8 #1",
         "error array incomplete @8 #1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.reply, true), c.as_number);
        EXPECT_EQ(read(c.reply, false), c.as_text);
    }
    w.set_reply(stream().str("x").bytes);
    EXPECT_THROW(f.pop_as_double(), fifo::error);
    EXPECT_EQ(f.pop<std::string>(), "x");
}
