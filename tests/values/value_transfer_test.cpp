// SPDX-License-Identifier: MIT
// The bulk property write and the value reads against a fake device: the
// request each sends and what each makes of a hand-made reply.
#include <gtest/gtest.h>

#include <cstring>
#include <list>

#include "fake_device.hpp"
#include "stream.hpp"
#include "window.hpp"

using namespace tarn::fb;
using testing_support::stream;

namespace {

// A successful reply: status 0, then the results.
stream ok(const stream& results = stream()) { return stream().i32(0).then(results); }

// The substitute for a value that cannot be read: 3e20, by its bit pattern.
double substitute() {
    const std::uint64_t bits = 0x443043561A882930ULL;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

class values_transfer : public ::testing::Test {
protected:
    driver session;  // opens the fake device

    // The one int-coded request the fake device executed.
    std::vector<unsigned char> sent() {
        const auto& r = fake_device::requests();
        if (r.size() != 1 || r[0].code != 1) return {};
        return r[0].bytes;
    }
};

}  // namespace

TEST_F(values_transfer, write_func_props_sends_each_name_then_its_value) {
    fake_device::answer(ok().bytes);
    const fifo::object settings{{"gain", 2}, {"mode", std::string("fast")}};
    session.write_func_props("block", {
                                          std::make_pair(std::string("i"), -1),
                                          std::make_pair(std::string("u"), 7u),
                                          std::make_pair(std::string("ll"), -(1LL << 40)),
                                          std::make_pair(std::string("ull"), 1ULL << 63),
                                          std::make_pair(std::string("u8"), static_cast<unsigned char>(255)),
                                          std::make_pair(std::string("f"), 0.5f),
                                          std::make_pair(std::string("d"), 2.25),
                                          std::make_pair(std::string("s"), std::string("text")),
                                          std::make_pair(std::string("o"), settings),
                                          std::make_pair(std::string("v"), std::vector<float>{1, 2}),
                                      });
    testing_support::window expected;  // the same values pushed one by one
    fifo& e = expected.fifo;
    e.push(8), e.push(std::string("block"));
    e.push(std::string("i")), e.push(-1), e.push(std::string("u")), e.push(7u);
    e.push(std::string("ll")), e.push(-(1LL << 40)), e.push(std::string("ull")), e.push(1ULL << 63);
    e.push(std::string("u8")), e.push(static_cast<unsigned char>(255));
    e.push(std::string("f")), e.push(0.5f), e.push(std::string("d")), e.push(2.25);
    e.push(std::string("s")), e.push(std::string("text")), e.push(std::string("o")), e.push(settings);
    e.push(std::string("v")), e.push(std::vector<float>{1, 2});
    EXPECT_EQ(sent(), expected.request_bytes());

    fake_device::answer(ok().bytes);
    session.write_func_props("b", {});
    EXPECT_EQ(sent(), stream().i32(8).str("b").bytes);
}

TEST_F(values_transfer, a_property_list_that_does_not_fit_is_not_sent) {
    fake_device::answer(ok().bytes);
    const std::list<property> too_big{std::make_pair(std::string("big"), std::string(600 * 1024, 'x'))};
    EXPECT_THROW(session.write_func_props("b", too_big), fifo::error);
    EXPECT_TRUE(fake_device::requests().empty());
    session.write_func_props("b", {});  // the lock was released
    EXPECT_EQ(sent(), stream().i32(8).str("b").bytes);
}

TEST_F(values_transfer, single_value_reads_convert_or_pass_the_failure_on) {
    fake_device::answer(ok(stream().scalar<unsigned short>(tag_uint16, 513)).bytes);
    EXPECT_EQ(session.value("blk.level"), 513.0);
    EXPECT_EQ(sent(), stream().i32(10).str("blk.level").bytes);
    fake_device::answer(ok(stream().scalar(tag_float, 0.5f)).bytes);
    EXPECT_EQ(session.value_str("blk.level"), "0.500000");
    EXPECT_EQ(sent(), stream().i32(10).str("blk.level").bytes);

    fake_device::answer(ok(stream().nil()).bytes);
    EXPECT_THROW(session.value("blk.none"), fifo::error);
    fake_device::answer(stream().i32(2).i32(17).str("no such block").bytes);
    try {
        session.value_str("x.y");
        ADD_FAILURE() << "no error";
    } catch (const driver::error& e) {
        EXPECT_EQ(e.code, 17);
        EXPECT_STREQ(e.what(), "value: no such block");
    }
}

TEST_F(values_transfer, multi_value_read_substitutes_and_reads_on_from_the_failure) {
    std::vector<double> values{9, 9, 9, 9, 9};
    fake_device::answer(ok(stream().i32(1).nil().i32(3)).bytes);  // the failed read consumed the nil
    session.value({"a.x", "b.y", "c.z"}, values);
    EXPECT_EQ(sent(), stream().i32(10).str("a.x").str("b.y").str("c.z").bytes);
    EXPECT_EQ(values, (std::vector<double>{1, substitute(), 3}));

    fake_device::answer(ok(stream().i32(1).str("s").i32(3)).bytes);  // the string stays unread
    session.value({"a", "b", "c"}, values);
    EXPECT_EQ(values, (std::vector<double>{1, substitute(), substitute()}));

    fake_device::answer(ok().bytes);
    session.value({}, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(sent(), stream().i32(10).bytes);

    // A failed command leaves the values alone.
    values = {4, 5};
    fake_device::answer(ok(stream().i32(1)).bytes, -1);
    EXPECT_THROW(session.value({"a"}, values), driver::error);
    fake_device::answer(stream().i32(1).i32(3).str("busy").bytes);
    EXPECT_THROW(session.value({"a"}, values), driver::error);
    EXPECT_EQ(values, (std::vector<double>{4, 5}));
}
