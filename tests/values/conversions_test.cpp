// Reading the next value of any scalar type as a number or as text: every
// tag, incomplete payloads, and what each failure consumes.
#include <gtest/gtest.h>

#include <cfloat>
#include <functional>

#include "stream.hpp"
#include "window.hpp"

using namespace tarn::fb;
using detail::pop_count;
using testing_support::stream;

namespace {

class Conversions : public ::testing::Test {
protected:
    testing_support::window w;
    fifo& f = w.fifo;

    std::string error_of(const std::function<void()>& op) {
        try {
            op();
        } catch (const fifo::error& e) {
            return e.what();
        }
        return "no error";
    }
    std::uint32_t read_offset() { return w.reply_offset_of_read_cursor(); }
    std::uint32_t pops() { return w.reply().word(pop_count); }
};

struct converted {
    const char* what;
    stream value;
    double number;
    std::string text;
};

}  // namespace

TEST_F(Conversions, EveryScalarTagAsNumberAndAsText) {
    const converted cases[] = {
        {"int8", stream().scalar<signed char>(tag_int8, -7), -7, "-7"},
        {"int16", stream().scalar<short>(tag_int16, -300), -300, "-300"},
        {"int32", stream().i32(-5), -5, "-5"},
        {"int64", stream().scalar<long long>(tag_int64, -(1LL << 40)), -1099511627776.0, "-1099511627776"},
        {"int64 rounded", stream().scalar<long long>(tag_int64, (1LL << 53) + 1), 9007199254740992.0,
         "9007199254740993"},
        {"uint8 is a number", stream().scalar<unsigned char>(tag_uint8, 65), 65, "65"},
        {"uint16", stream().scalar<unsigned short>(tag_uint16, 65535), 65535, "65535"},
        {"uint32", stream().scalar<unsigned int>(tag_uint32, 4294967295u), 4294967295.0, "4294967295"},
        {"uint64", stream().scalar<unsigned long long>(tag_uint64, 18446744073709551615ULL),
         18446744073709551616.0, "18446744073709551615"},
        {"double", stream().scalar<double>(tag_double, 1.5), 1.5, "1.500000"},
        {"double large", stream().scalar<double>(tag_double, 1e20), 1e20, "100000000000000000000.000000"},
        {"float widened", stream().scalar<float>(tag_float, 0.1f), static_cast<double>(0.1f), "0.100000"},
        {"float small", stream().scalar<float>(tag_float, -1e-7f), static_cast<double>(-1e-7f), "-0.000000"},
        {"bool 7", stream().scalar<std::uint32_t>(tag_bool, 7), 1, "true"},
        {"bool 0", stream().scalar<std::uint32_t>(tag_bool, 0), 0, "false"},
        // A numeric vector stands for its first element; the rest is consumed.
        {"float vector of 1", stream().vec<float>(tag_float_vector, {2.5f}), 2.5, "2.500000"},
        {"float vector of 3", stream().vec<float>(tag_float_vector, {-1, 2, 3}), -1, "-1.000000"},
        {"double vector of 3", stream().vec<double>(tag_double_vector, {0.125, 9, 9}), 0.125, "0.125000"},
    };
    for (const converted& c : cases) {
        const std::uint32_t size = static_cast<std::uint32_t>(c.value.bytes.size());
        w.set_reply(stream(c.value).i32(42).bytes);
        EXPECT_EQ(f.pop_as_double(), c.number) << c.what;
        EXPECT_EQ(read_offset(), size) << c.what;
        EXPECT_EQ(f.pop<int>(), 42) << c.what;

        w.set_reply(c.value.bytes);
        EXPECT_EQ(f.pop_as_string(), c.text) << c.what;
        EXPECT_EQ(read_offset(), size) << c.what;
        EXPECT_EQ(pops(), 1u) << c.what;
    }
}

TEST_F(Conversions, IncompleteScalarPayloadsReadAsZero) {
    struct incomplete {
        std::uint32_t tag;
        std::size_t bytes_present;
        std::string text;
    };
    const incomplete cases[] = {
        {tag_int8, 0, "0"},         {tag_int16, 1, "0"},  {tag_int32, 3, "0"},      {tag_int64, 7, "0"},
        {tag_uint8, 0, "0"},        {tag_uint16, 1, "0"}, {tag_uint32, 2, "0"},     {tag_uint64, 4, "0"},
        {tag_double, 7, "0.000000"}, {tag_float, 3, "0.000000"}, {tag_bool, 3, "false"},
    };
    for (const incomplete& c : cases) {
        stream s;
        s.tag(c.tag);
        for (std::size_t i = 0; i < c.bytes_present; ++i) s.raw({0xff});
        w.set_reply(s.bytes);
        EXPECT_EQ(f.pop_as_double(), 0.0) << c.tag;
        EXPECT_EQ(read_offset(), 4u) << c.tag;  // only the tag
        EXPECT_EQ(pops(), 1u);

        w.set_reply(s.bytes);
        EXPECT_EQ(f.pop_as_string(), c.text) << c.tag;
        EXPECT_EQ(read_offset(), 4u) << c.tag;
    }
}

TEST_F(Conversions, NilIsNoNumberButShowsAsNil) {
    w.set_reply(stream().nil().nil().tag(tag_nil).bytes);
    EXPECT_EQ(error_of([&] { f.pop_as_double(); }), "pop_as_double: no value available in function block fifo");
    EXPECT_EQ(read_offset(), 5u);
    EXPECT_EQ(f.pop_as_string(), "nil");
    EXPECT_EQ(read_offset(), 10u);
    // Without its payload byte only the tag is consumed.
    EXPECT_EQ(f.pop_as_string(), "nil");
    EXPECT_EQ(read_offset(), 14u);
    EXPECT_EQ(pops(), 3u);
}

TEST_F(Conversions, StringsAreTextButNoNumber) {
    w.set_reply(stream().str("abc").str("").bytes);
    EXPECT_EQ(error_of([&] { f.pop_as_double(); }), "pop_as_double: no number");
    EXPECT_EQ(read_offset(), 0u);
    EXPECT_EQ(pops(), 0u);
    EXPECT_EQ(f.pop_as_string(), "abc");
    EXPECT_EQ(f.pop_as_string(), "");
    EXPECT_EQ(pops(), 2u);

    // A string left unread by pop_as_double can still be read as a string.
    w.set_reply(stream().str("x").bytes);
    EXPECT_THROW(f.pop_as_double(), fifo::error);
    EXPECT_EQ(f.pop<std::string>(), "x");

    // Without its length word a string is the empty text; only the tag is consumed.
    w.set_reply(stream().tag(tag_string).raw({1, 0}).bytes);
    EXPECT_EQ(f.pop_as_string(), "");
    EXPECT_EQ(read_offset(), 4u);

    std::string embedded("a\0b", 3);
    w.set_reply(stream().str(embedded).bytes);
    EXPECT_EQ(f.pop_as_string(), embedded);
}

TEST_F(Conversions, IncompleteStringsAndVectorsFailAfterTheirLengthWord) {
    struct malformed {
        const char* what;
        stream value;
        std::string message;
        std::uint32_t read_offset;
    };
    // The length or count word is put with tag(): it is a bare 32-bit word.
    const malformed strings[] = {
        {"length 0", stream().tag(tag_string).tag(0).i32(1), "pop_as_string: incomplete string", 8},
        {"missing characters", stream().tag(tag_string).tag(5).raw({'a', 'b'}),
         "pop_as_string: incomplete string", 8},
        {"huge length", stream().tag(tag_string).tag(0xffffffff).raw({'a'}),
         "pop_as_string: incomplete string", 8},
    };
    for (const malformed& c : strings) {
        w.set_reply(c.value.bytes);
        EXPECT_EQ(error_of([&] { f.pop_as_string(); }), c.message) << c.what;
        EXPECT_EQ(read_offset(), c.read_offset) << c.what;
    }

    const malformed vectors[] = {
        {"no count", stream().tag(tag_float_vector).raw({1, 0, 0}), "array empty", 4},
        {"count 0", stream().vec<double>(tag_double_vector, {}).i32(1), "array empty", 8},
        {"missing elements", stream().tag(tag_double_vector).tag(2).raw({0, 0, 0, 0, 0, 0, 0xf0, 0x3f}),
         "array incomplete", 8},
        {"huge count", stream().tag(tag_float_vector).tag(0xffffffff).raw({0, 0, 0, 0}), "array incomplete", 8},
    };
    for (const malformed& c : vectors) {
        for (bool as_text : {false, true}) {
            w.set_reply(c.value.bytes);
            EXPECT_EQ(error_of([&] { as_text ? (void)f.pop_as_string() : (void)f.pop_as_double(); }), c.message)
                << c.what;
            EXPECT_EQ(read_offset(), c.read_offset) << c.what;
            EXPECT_EQ(pops(), 1u);
        }
    }
}

TEST_F(Conversions, NothingIsConsumedWithoutAScalarTag) {
    for (std::uint32_t t : {115u, 116u, 117u, 118u, 99u, 119u}) {
        w.set_reply(stream().tag(t).i32(0).bytes);
        EXPECT_EQ(error_of([&] { f.pop_as_double(); }), "pop_as_double: unsupported function block fifo type");
        EXPECT_EQ(error_of([&] { f.pop_as_string(); }), "pop_as_string: unknown type");
        EXPECT_EQ(read_offset(), 0u);
        EXPECT_EQ(pops(), 0u);
    }
    for (const auto& reply : {std::vector<unsigned char>{}, std::vector<unsigned char>{102, 0, 0}}) {
        w.set_reply(reply);
        EXPECT_EQ(error_of([&] { f.pop_as_double(); }), "pop_as_double: could no retrieve type");
        EXPECT_EQ(error_of([&] { f.pop_as_string(); }), "pop_as_string: could no retrieve type");
        EXPECT_EQ(read_offset(), 0u);
        EXPECT_EQ(pops(), 0u);
    }
    // A header that does not describe the reply region is not followed.
    w.set_reply(stream().i32(1).bytes);
    w.reply().set(detail::read_cursor, w.reply().word(detail::write_cursor) + 4);
    EXPECT_EQ(error_of([&] { f.pop_as_double(); }), "pop_as_double: could no retrieve type");
}
