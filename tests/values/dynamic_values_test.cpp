// SPDX-License-Identifier: MIT
// Dynamic values, arrays and objects: round trips, markers, malformed
// replies, unwritable values and the nesting bound.
#include <gtest/gtest.h>
#include <pthread.h>
#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <typeinfo>

#include "stream.hpp"
#include "window.hpp"

using namespace tarn::fb;
using testing_support::error_of;
using testing_support::stream;

// What the library writes to the system log is kept here instead of sent.
struct log_entry {
    int priority;
    std::string format, text;
};
static std::vector<log_entry> system_log;
extern "C" void syslog(int priority, const char* format, ...) {
    char text[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    system_log.push_back({priority, format, text});
}

namespace {

const std::string array_name = "std::vector<boost::any> ";
const std::string object_name = "std::unordered_map<std::__cxx11::basic_string<char>, boost::any> ";

template <class T>
bool holds(const boost::any& v, const T& expected) {
    const T* held = boost::any_cast<T>(&v);
    return held != nullptr && *held == expected;
}

// `levels` arrays nested around `innermost`; the levels `objects_at` picks
// are objects holding the level below under the key "k".
boost::any nested(
    std::size_t levels, boost::any innermost,
    const std::function<bool(std::size_t)>& objects_at = [](std::size_t) { return false; }) {
    for (std::size_t level = levels; level >= 1; --level)
        innermost = objects_at(level) ? boost::any(fifo::object{{"k", std::move(innermost)}})
                                      : boost::any(fifo::array{std::move(innermost)});
    return innermost;
}
// The number of levels above the innermost value of a tree made by nested().
std::size_t depth_of(const boost::any& tree) {
    std::size_t depth = 0;
    for (const boost::any* v = &tree;; ++depth) {
        if (auto* a = boost::any_cast<fifo::array>(v); a && a->size() == 1)
            v = &a->front();
        else if (auto* o = boost::any_cast<fifo::object>(v); o && o->count("k"))
            v = &o->at("k");
        else
            return depth;
    }
}

// Runs `work` on a thread with a 32 KiB stack; returns what it threw, or "".
std::string on_small_stack(const std::function<void()>& work) {
    struct job {
        const std::function<void()>* work;
        std::string failure;
    } j{&work, {}};
    auto run = [](void* p) -> void* {
        auto* jp = static_cast<job*>(p);
        try {
            (*jp->work)();
        } catch (const std::exception& e) {
            jp->failure = e.what();
        }
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_t t;
    if (pthread_attr_init(&attr) != 0 || pthread_attr_setstacksize(&attr, 32 * 1024) != 0 ||
        pthread_create(&t, &attr, run, &j) != 0)
        return "no thread";
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
    return j.failure;
}

class values_dynamic : public ::testing::Test {
protected:
    testing_support::window w;
    fifo& f = w.fifo;

    void SetUp() override { system_log.clear(); }
    std::uint32_t read_offset() { return w.reply_offset_of_read_cursor(); }
    std::uint32_t pushes() { return w.request().word(detail::push_count); }
    std::uint32_t pops() { return w.reply().word(detail::pop_count); }
};

}  // namespace

TEST_F(values_dynamic, every_writable_type_round_trips_nested) {
    char mutable_text[] = "mutable";
    f.push(fifo::object{
        {"i8", static_cast<signed char>(-3)},
        {"i16", static_cast<short>(-300)},
        {"i32", -5},
        {"i64", -0x123456789LL},
        {"u8", static_cast<unsigned char>(200)},
        {"u32", 0xdeadbeefu},
        {"u64", 0xfffffffe00000001ULL},
        {"f", 0.25f},
        {"d", -1.5},
        {"b", true},
        {"s", std::string("text")},
        {"c", static_cast<const char*>("literal")},
        {"m", static_cast<char*>(mutable_text)},
        {"a", fifo::array{1, fifo::array{fifo::object{{"x", false}}}, fifo::object{}}},
    });
    EXPECT_EQ(pushes(), 14u + 13u + 3u);  // keys and scalars count, markers do not
    w.loop_back();
    const fifo::object got = f.pop<fifo::object>();
    EXPECT_EQ(pops(), pushes());
    EXPECT_EQ(w.reply().word(detail::read_cursor), w.reply().word(detail::write_cursor));

    ASSERT_EQ(got.size(), 14u);
    EXPECT_TRUE(holds(got.at("i8"), static_cast<signed char>(-3)));
    EXPECT_TRUE(holds(got.at("i16"), static_cast<short>(-300)));
    EXPECT_TRUE(holds(got.at("i32"), -5));
    EXPECT_TRUE(holds(got.at("i64"), -0x123456789LL));
    EXPECT_TRUE(holds(got.at("u8"), static_cast<unsigned char>(200)));
    EXPECT_TRUE(holds(got.at("u32"), 0xdeadbeefu));
    EXPECT_TRUE(holds(got.at("u64"), 0xfffffffe00000001ULL));
    EXPECT_TRUE(holds(got.at("f"), 0.25f));
    EXPECT_TRUE(holds(got.at("d"), -1.5));
    EXPECT_TRUE(holds(got.at("b"), true));
    EXPECT_TRUE(holds(got.at("s"), std::string("text")));
    EXPECT_TRUE(holds(got.at("c"), std::string("literal")));  // character pointers come back as strings
    EXPECT_TRUE(holds(got.at("m"), std::string("mutable")));
    const auto& a = boost::any_cast<const fifo::array&>(got.at("a"));
    ASSERT_EQ(a.size(), 3u);
    EXPECT_TRUE(holds(a[0], 1));
    const auto& inner = boost::any_cast<const fifo::array&>(a[1]);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_TRUE(holds(boost::any_cast<const fifo::object&>(inner[0]).at("x"), false));
    EXPECT_TRUE(boost::any_cast<const fifo::object&>(a[2]).empty());
}

TEST_F(values_dynamic, markers_are_bare_tags_and_reading_yields_unwritable_types_too) {
    f.push_any(fifo::array{});
    f.push(fifo::object{{"k", 7}});
    EXPECT_EQ(w.request_bytes(), stream().tag(115).tag(116).tag(117).str("k").i32(7).tag(118).bytes);
    EXPECT_EQ(pushes(), 2u);

    w.set_reply(stream()
                    .tag(115)
                    .nil()
                    .tag(tag_float_vector)
                    .tag(1)
                    .payload(2.5f)
                    .tag(tag_double_vector)
                    .tag(0)
                    .tag(116)
                    .bytes);
    const auto got = f.pop<fifo::array>();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].type(), typeid(nil));
    EXPECT_TRUE(holds(got[1], std::vector<float>{2.5f}));
    EXPECT_TRUE(holds(got[2], std::vector<double>{}));
    EXPECT_EQ(pops(), 3u);
}

TEST_F(values_dynamic, unwritable_values_are_logged_and_thrown) {
    const std::vector<std::pair<boost::any, const char*>> rejected = {
        {boost::any(), typeid(void).name()},
        {nil{}, typeid(nil).name()},
        {std::vector<float>{1}, typeid(std::vector<float>).name()},
        {1L, typeid(long).name()},  // neither int nor long long
    };
    for (const auto& r : rejected)
        EXPECT_EQ(error_of([&] { f.push_any(r.first); }), std::string("push_any: unknown type ") + r.second);
    EXPECT_EQ(error_of([&] { f.push_any(static_cast<const char*>(nullptr)); }), "push_any: null string");
    EXPECT_EQ(error_of([&] { f.push_any(static_cast<char*>(nullptr)); }), "push_any: null string");
    EXPECT_TRUE(w.request_bytes().empty());
    EXPECT_EQ(pushes(), 0u);
    ASSERT_EQ(system_log.size(), rejected.size() + 2);
    for (const log_entry& e : system_log) {
        EXPECT_EQ(e.priority, LOG_WARNING);
        EXPECT_EQ(e.format, "%s");
    }
    EXPECT_EQ(system_log[1].text, std::string("push_any: unknown type ") + typeid(nil).name());

    // Inside an array: what was written before the failure stays.
    EXPECT_EQ(error_of([&] { f.push(fifo::array{1, nil{}}); }), system_log[1].text);
    EXPECT_EQ(w.request_bytes(), stream().tag(115).i32(1).bytes);

    // No room for a marker or a key: the container's own message.
    auto r = w.request();
    r.clear();
    r.set(detail::end, r.word(detail::write_cursor) + 4);
    EXPECT_EQ(error_of([&] { f.push(fifo::array{}); }), "push<" + array_name + "> failed");
    r.clear();
    r.set(detail::end, r.word(detail::write_cursor) + 13);  // the key "k" needs 10 after the marker
    EXPECT_EQ(error_of([&] { f.push(fifo::object{{"k", 1}}); }), "push<" + object_name + "> failed");
}

TEST_F(values_dynamic, malformed_replies_fail_with_the_innermost_message) {
    const std::string no_tag = "pop_as_string: could no retrieve type", unknown = "pop_any unknown type";
    const struct {
        stream reply;
        std::string message;
        std::uint32_t read_offset;  // where the failure leaves the read cursor
    } cases[] = {
        {stream(), no_tag, 0},
        {stream().tag(105).raw({0, 0}), unknown, 0},
        {stream().tag(116), unknown, 0},
        {stream().tag(118), unknown, 0},
        {stream().tag(115).tag(118), unknown, 4},
        // The reply ends inside an array: every complete element has been read.
        {stream().tag(115).i32(1).str("ab"), "pop<" + array_name + "> array end expected", 23},
        {stream().tag(117).str("k").i32(1), "pop<" + object_name + "> object end expected", 22},
        {stream().tag(117).str("k"), no_tag, 14},
        {stream().tag(117).str("k").tag(115).i32(1), "pop<" + array_name + "> array end expected", 26},
        // An int where a key belongs: its tag is consumed.
        {stream().tag(117).i32(5).i32(6).tag(118), "pop<" + object_name + "> key expected", 8},
        {stream().tag(115).tag(tag_int32).raw({1, 2}), "pop<int> failed", 8},
    };
    for (const auto& c : cases) {
        w.set_reply(c.reply.bytes);
        EXPECT_EQ(error_of([&] { f.pop_any(); }), c.message);
        EXPECT_EQ(read_offset(), c.read_offset) << c.message;
    }
    w.set_reply(stream().i32(1).bytes);
    EXPECT_EQ(error_of([&] { f.pop<fifo::array>(); }), "pop<" + array_name + "> array begin expected");
    EXPECT_EQ(read_offset(), 4u);
    w.set_reply({});
    EXPECT_EQ(error_of([&] { f.pop<fifo::object>(); }), "pop<" + object_name + "> object begin expected");
}

TEST_F(values_dynamic, repeated_keys_keep_the_later_value) {
    w.set_reply(stream().tag(117).str("a").i32(1).str("b").i32(2).str("a").str("x").tag(118).bytes);
    const fifo::object got = f.pop<fifo::object>();
    EXPECT_EQ(got.size(), 2u);
    EXPECT_TRUE(holds(got.at("a"), std::string("x")));
}

TEST_F(values_dynamic, nesting_is_bounded_at_256_levels_both_ways) {
    const auto mixed = [](std::size_t level) { return level % 3 == 0; };
    f.push_any(nested(256, 1, mixed));
    w.loop_back();
    EXPECT_EQ(depth_of(f.pop_any()), 256u);

    // Writing: the extra level's marker is not written.
    w.request().clear();
    EXPECT_EQ(error_of([&] { f.push_any(nested(257, 1)); }), "push<" + array_name + "> nesting too deep");
    EXPECT_EQ(w.request_bytes().size(), 256u * 4);
    EXPECT_EQ(error_of([&] { f.push_any(nested(257, 1, [](std::size_t l) { return l == 257; })); }),
              "push<" + object_name + "> nesting too deep");

    // Reading: the extra level's marker is not consumed.
    stream objects;
    for (int i = 0; i < 257; ++i) objects.tag(117).str("k");
    w.set_reply(objects.i32(1).bytes);
    EXPECT_EQ(error_of([&] { f.pop<fifo::object>(); }), "pop<" + object_name + "> nesting too deep");
    EXPECT_EQ(read_offset(), 256u * 14);
    stream markers;  // a reply of nothing but begin markers
    for (int i = 0; i < 100000; ++i) markers.tag(115);
    w.set_reply(markers.bytes);
    EXPECT_EQ(error_of([&] { f.pop_any(); }), "pop<" + array_name + "> nesting too deep");
    EXPECT_EQ(read_offset(), 256u * 4);
}

// Threads may have far less stack than the main thread: nesting is walked,
// and trees read in vain are taken apart, without recursion. The trees handed
// to the thread and back are destroyed on the main thread.
TEST_F(values_dynamic, full_depth_needs_no_deep_stack) {
    const boost::any sent = nested(256, 1, [](std::size_t level) { return level % 2 == 0; });
    boost::any back;
    EXPECT_EQ(on_small_stack([&] {
                  f.push_any(sent);
                  w.loop_back();
                  back = f.pop_any();
              }),
              "");
    EXPECT_EQ(depth_of(back), 256u);

    // A failure after a complete 255-level element, and a repeated key that
    // replaces one.
    stream deep;
    for (int i = 0; i < 255; ++i) deep.tag(115);
    for (int i = 0; i < 255; ++i) deep.tag(116);
    w.set_reply(stream().tag(115).then(deep).bytes);
    EXPECT_EQ(on_small_stack([&] { f.pop_any(); }), "pop<" + array_name + "> array end expected");
    w.set_reply(stream().tag(117).str("a").then(deep).str("a").i32(1).tag(118).bytes);
    boost::any replaced;
    EXPECT_EQ(on_small_stack([&] { replaced = f.pop_any(); }), "");
    EXPECT_TRUE(holds(boost::any_cast<const fifo::object&>(replaced).at("a"), 1));
}
