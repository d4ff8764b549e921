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
using bytes = std::vector<unsigned char>;

namespace {

constexpr unsigned long int_command = 1;

bytes operator+(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ValueTransfer : public ::testing::Test {
protected:
    driver session;  // opens the fake device

    // What the fake device received, as one request.
    bytes sent() {
        EXPECT_EQ(fake_device::requests().size(), 1u);
        if (fake_device::requests().empty()) return {};
        EXPECT_EQ(fake_device::requests()[0].code, int_command);
        return fake_device::requests()[0].bytes;
    }
    static bytes ok(const stream& results = stream()) { return stream().i32(0).bytes + results.bytes; }
};

// The substitute for a value that cannot be read: 3e20, by its bit pattern.
double substitute() {
    const std::uint64_t bits = 0x443043561A882930ULL;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

TEST_F(ValueTransfer, WriteFuncPropsSendsNameThenValueInListOrder) {
    fake_device::answer(ok());
    const fifo::object settings{{"gain", 2}, {"mode", std::string("fast")}};
    const std::list<property> props{
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
    };
    session.write_func_props("block", props);

    // The same values pushed one by one with their typed pushes.
    testing_support::window expected;
    fifo& e = expected.fifo;
    e.push(8);
    e.push(std::string("block"));
    e.push(std::string("i")), e.push(-1);
    e.push(std::string("u")), e.push(7u);
    e.push(std::string("ll")), e.push(-(1LL << 40));
    e.push(std::string("ull")), e.push(1ULL << 63);
    e.push(std::string("u8")), e.push(static_cast<unsigned char>(255));
    e.push(std::string("f")), e.push(0.5f);
    e.push(std::string("d")), e.push(2.25);
    e.push(std::string("s")), e.push(std::string("text"));
    e.push(std::string("o")), e.push(settings);
    e.push(std::string("v")), e.push(std::vector<float>{1, 2});
    EXPECT_EQ(sent(), expected.request_bytes());
}

TEST_F(ValueTransfer, WriteFuncPropsWithNoPropertiesStillExecutes) {
    fake_device::answer(ok());
    session.write_func_props("b", {});
    EXPECT_EQ(sent(), stream().i32(8).str("b").bytes);
}

TEST_F(ValueTransfer, APropertyListThatDoesNotFitIsNotExecuted) {
    fake_device::answer(ok());
    const std::list<property> props{std::make_pair(std::string("big"), std::string(600 * 1024, 'x'))};
    EXPECT_THROW(session.write_func_props("b", props), fifo::error);
    EXPECT_TRUE(fake_device::requests().empty());
    // The lock was released and the next command starts afresh.
    session.write_func_props("b", {});
    EXPECT_EQ(sent(), stream().i32(8).str("b").bytes);
}

TEST_F(ValueTransfer, SingleValueReadsConvertWhateverComes) {
    fake_device::answer(ok(stream().scalar<unsigned short>(tag_uint16, 513)));
    EXPECT_EQ(session.value("blk.level"), 513.0);
    EXPECT_EQ(sent(), stream().i32(10).str("blk.level").bytes);

    fake_device::answer(ok(stream().scalar<float>(tag_float, 0.5f)));
    EXPECT_EQ(session.value_str("blk.level"), "0.500000");
    EXPECT_EQ(sent(), stream().i32(10).str("blk.level").bytes);

    // Only the multi-value read substitutes: here the conversion's error passes.
    fake_device::answer(ok(stream().nil()));
    try {
        session.value("blk.none");
        ADD_FAILURE() << "no error";
    } catch (const fifo::error& e) {
        EXPECT_STREQ(e.what(), "pop_as_double: no value available in function block fifo");
    }
    fake_device::answer(ok(stream().str("on")));
    EXPECT_EQ(session.value_str("blk.state"), "on");

    fake_device::answer(stream().i32(2).i32(17).str("no such block").bytes);
    try {
        session.value_str("x.y");
        ADD_FAILURE() << "no error";
    } catch (const driver::error& e) {
        EXPECT_EQ(e.code, 17);
        EXPECT_STREQ(e.what(), "value: no such block");
    }
}

TEST_F(ValueTransfer, MultiValueReadSubstitutesWhatIsNoNumber) {
    std::vector<double> values{9, 9, 9, 9, 9};
    fake_device::answer(ok(stream().i32(1).nil().i32(3)));
    session.value({"a.x", "b.y", "c.z"}, values);
    EXPECT_EQ(sent(), stream().i32(10).str("a.x").str("b.y").str("c.z").bytes);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], substitute());
    EXPECT_EQ(values[2], 3.0);

    // A string is left unread, so every later read meets it again.
    fake_device::answer(ok(stream().i32(1).str("s").i32(3)));
    session.value({"a", "b", "c"}, values);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], substitute());
    EXPECT_EQ(values[2], substitute());

    // Fewer values than names: the missing ones are substituted.
    fake_device::answer(ok(stream().scalar<double>(tag_double, -2.5)));
    session.value({"a", "b"}, values);
    EXPECT_EQ(values, (std::vector<double>{-2.5, substitute()}));

    fake_device::answer(ok());
    session.value({}, values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(sent(), stream().i32(10).bytes);
}

TEST_F(ValueTransfer, FailedMultiValueCommandLeavesValuesAlone) {
    std::vector<double> values{4, 5};
    fake_device::answer(ok(stream().i32(1)), -1);
    EXPECT_THROW(session.value({"a"}, values), driver::error);
    fake_device::answer(stream().i32(1).i32(3).str("busy").bytes);
    EXPECT_THROW(session.value({"a"}, values), driver::error);
    EXPECT_EQ(values, (std::vector<double>{4, 5}));
}
