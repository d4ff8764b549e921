// Dynamic values, arrays and objects: round trips, the bytes of the markers,
// what malformed replies and unwritable values do, and the nesting bound.
#include <gtest/gtest.h>
#include <pthread.h>
#include <syslog.h>

#include <algorithm>
#include <functional>
#include <map>
#include <typeinfo>

#include "stream.hpp"
#include "syslog_capture.hpp"
#include "window.hpp"

using namespace tarn::fb;
using detail::pop_count;
using detail::push_count;
using testing_support::stream;
using bytes = std::vector<unsigned char>;

namespace {

const std::string array_name = "std::vector<boost::any> ";
const std::string object_name = "std::unordered_map<std::__cxx11::basic_string<char>, boost::any> ";

// A canonical text of a dynamic value: its held type and value, object keys
// sorted, so two trees compare equal exactly when types and values agree.
template <class... T>
struct scalar_types {};
using shown_scalars = scalar_types<signed char, short, int, long long, unsigned char, unsigned int,
                                   unsigned long long, float, double, bool>;

template <class... T>
bool show_scalar(const boost::any& v, std::string& out, scalar_types<T...>) {
    return (... || (v.type() == typeid(T) &&
                    (out += std::string(typeid(T).name()) + ":" +
                            std::to_string(boost::any_cast<T>(v)),
                     true)));
}

std::string show(const boost::any& v) {
    std::string out;
    if (show_scalar(v, out, shown_scalars{})) return out;
    if (auto* s = boost::any_cast<std::string>(&v)) return "s:\"" + *s + "\"";
    if (boost::any_cast<nil>(&v)) return "nil";
    if (auto* fv = boost::any_cast<std::vector<float>>(&v)) {
        out = "vf[";
        for (float e : *fv) out += std::to_string(e) + ",";
        return out + "]";
    }
    if (auto* dv = boost::any_cast<std::vector<double>>(&v)) {
        out = "vd[";
        for (double e : *dv) out += std::to_string(e) + ",";
        return out + "]";
    }
    if (auto* a = boost::any_cast<fifo::array>(&v)) {
        out = "[";
        for (const auto& e : *a) out += show(e) + ",";
        return out + "]";
    }
    if (auto* o = boost::any_cast<fifo::object>(&v)) {
        std::map<std::string, std::string> sorted;
        for (const auto& e : *o) sorted[e.first] = show(e.second);
        out = "{";
        for (const auto& e : sorted) out += e.first + "=" + e.second + ",";
        return out + "}";
    }
    return std::string("?") + v.type().name();
}

class DynamicValues : public ::testing::Test {
protected:
    testing_support::window w;
    fifo& f = w.fifo;

    void SetUp() override { syslog_capture::clear(); }

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
    std::uint32_t pushes() { return w.request().word(push_count); }
};

// `levels` arrays (or, where `objects_at` says so, objects under key "k")
// nested in one another around `innermost`.
boost::any nested(std::size_t levels, boost::any innermost,
                  const std::function<bool(std::size_t)>& objects_at = [](std::size_t) { return false; }) {
    boost::any v = std::move(innermost);
    for (std::size_t level = levels; level >= 1; --level) {
        if (objects_at(level)) {
            fifo::object o;
            o["k"] = std::move(v);
            v = std::move(o);
        } else {
            v = fifo::array{std::move(v)};
        }
    }
    return v;
}

// Walks down a tree made by nested(); returns the depth and the innermost value.
std::pair<std::size_t, boost::any> descend(boost::any v) {
    std::size_t depth = 0;
    for (;;) {
        if (auto* a = boost::any_cast<fifo::array>(&v)) {
            if (a->size() != 1) break;
            boost::any inner = std::move(a->front());
            v = std::move(inner);
        } else if (auto* o = boost::any_cast<fifo::object>(&v)) {
            if (o->size() != 1 || o->count("k") != 1) break;
            boost::any inner = std::move(o->at("k"));
            v = std::move(inner);
        } else {
            break;
        }
        ++depth;
    }
    return {depth, std::move(v)};
}

}  // namespace

TEST_F(DynamicValues, NestedValuesOfEveryWritableTypeRoundTrip) {
    char mutable_text[] = "mutable";
    fifo::object inner{{"x", false}, {"y", std::string("")}};
    fifo::object sent{
        {"i8", static_cast<signed char>(-3)},  {"i16", static_cast<short>(-300)},
        {"i32", -5},                           {"i64", -0x123456789LL},
        {"u8", static_cast<unsigned char>(200)}, {"u32", 0xdeadbeefu},
        {"u64", 0xfffffffe00000001ULL},        {"f", 0.25f},
        {"d", -1.5},                           {"b", true},
        {"s", std::string("text")},            {"c", static_cast<const char*>("literal")},
        {"m", static_cast<char*>(mutable_text)},
        {"a", fifo::array{1, fifo::array{inner, fifo::array{}}, fifo::object{}}},
        {"o", fifo::object{}},
    };
    f.push(sent);
    // Keys and scalars count, markers do not: 15 keys, 13 scalars at the top,
    // and in "a" the int, two keys and their two values.
    EXPECT_EQ(pushes(), 15u + 13u + 5u);

    w.loop_back();
    const fifo::object got = f.pop<fifo::object>();
    EXPECT_EQ(pops(), pushes());
    EXPECT_EQ(w.reply().word(detail::read_cursor), w.reply().word(detail::write_cursor));

    // Character pointers come back as strings.
    fifo::object expected = sent;
    expected["c"] = std::string("literal");
    expected["m"] = std::string("mutable");
    EXPECT_EQ(show(got), show(expected));
    ASSERT_EQ(got.size(), sent.size());
}

TEST_F(DynamicValues, PopAnyGivesEachTagItsOwnType) {
    w.set_reply(stream()
                    .scalar<signed char>(tag_int8, -1)
                    .scalar<short>(tag_int16, -2)
                    .scalar<long long>(tag_int64, -3)
                    .scalar<unsigned char>(tag_uint8, 4)
                    .scalar<unsigned int>(tag_uint32, 5)
                    .scalar<unsigned long long>(tag_uint64, 6)
                    .scalar<double>(tag_double, 7.5)
                    .scalar<float>(tag_float, 8.5f)
                    .scalar<std::uint32_t>(tag_bool, 2)
                    .nil()
                    .vec<float>(tag_float_vector, {1, 2})
                    .vec<double>(tag_double_vector, {})
                    .bytes);
    std::string shown;
    for (int i = 0; i < 12; ++i) shown += show(f.pop_any()) + " ";
    EXPECT_EQ(shown, show(static_cast<signed char>(-1)) + " " + show(static_cast<short>(-2)) + " " +
                         show(-3LL) + " " + show(static_cast<unsigned char>(4)) + " " + show(5u) +
                         " " + show(6ULL) + " " + show(7.5) + " " + show(8.5f) + " " + show(true) +
                         " nil vf[1.000000,2.000000,] vd[] ");
    EXPECT_EQ(pops(), 12u);
}

TEST_F(DynamicValues, MarkersAreBareTagsThatLeaveTheCountersAlone) {
    f.push_any(fifo::array{});
    f.push(fifo::object{});
    f.push(fifo::object{{"k", 7}});
    EXPECT_EQ(w.request_bytes(), stream()
                                     .tag(tag_array_begin)
                                     .tag(tag_array_end)
                                     .tag(tag_object_begin)
                                     .tag(tag_object_end)
                                     .tag(tag_object_begin)
                                     .str("k")
                                     .i32(7)
                                     .tag(tag_object_end)
                                     .bytes);
    EXPECT_EQ(pushes(), 2u);

    w.loop_back();
    EXPECT_TRUE(f.pop<fifo::array>().empty());
    EXPECT_TRUE(f.pop<fifo::object>().empty());
    EXPECT_EQ(pops(), 0u);
    EXPECT_EQ(show(f.pop<fifo::object>()), show(fifo::object{{"k", 7}}));
    EXPECT_EQ(pops(), 2u);
}

TEST_F(DynamicValues, UnwritableValuesAreLoggedAndWriteNothing) {
    const std::vector<std::pair<boost::any, std::string>> rejected = {
        {boost::any(), typeid(void).name()},
        {nil{}, typeid(nil).name()},
        {std::vector<float>{1}, typeid(std::vector<float>).name()},
        {std::vector<double>{}, typeid(std::vector<double>).name()},
        {1L, typeid(long).name()},  // not long long, not int
        {static_cast<unsigned short>(1), typeid(unsigned short).name()},
    };
    for (const auto& r : rejected) {
        const std::string expected = "push_any: unknown type " + r.second;
        EXPECT_EQ(error_of([&] { f.push_any(r.first); }), expected);
    }
    EXPECT_EQ(error_of([&] { f.push_any(static_cast<const char*>(nullptr)); }), "push_any: null string");
    EXPECT_EQ(error_of([&] { f.push_any(static_cast<char*>(nullptr)); }), "push_any: null string");
    EXPECT_TRUE(w.request_bytes().empty());
    EXPECT_EQ(pushes(), 0u);

    const auto& log = syslog_capture::entries();
    ASSERT_EQ(log.size(), rejected.size() + 2);
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].priority, LOG_WARNING);
        EXPECT_EQ(log[i].format, "%s");
    }
    EXPECT_EQ(log[0].text, std::string("push_any: unknown type ") + typeid(void).name());
    EXPECT_EQ(log.back().text, "push_any: null string");
}

TEST_F(DynamicValues, FailedWritesKeepWhatWasWritten) {
    // An unwritable element: the begin marker and the elements before it stay.
    EXPECT_EQ(error_of([&] { f.push(fifo::array{1, nil{}}); }),
              std::string("push_any: unknown type ") + typeid(nil).name());
    EXPECT_EQ(w.request_bytes(), stream().tag(tag_array_begin).i32(1).bytes);

    // No room for a marker, or for a key: the container's own message.
    w.request().clear();
    auto r = w.request();
    r.set(detail::end, r.word(detail::write_cursor) + 3);
    EXPECT_EQ(error_of([&] { f.push(fifo::array{}); }), "push<" + array_name + "> failed");
    EXPECT_TRUE(w.request_bytes().empty());

    r.set(detail::end, r.word(detail::write_cursor) + 4);
    EXPECT_EQ(error_of([&] { f.push(fifo::array{}); }), "push<" + array_name + "> failed");
    EXPECT_EQ(w.request_bytes(), stream().tag(tag_array_begin).bytes);

    w.request().clear();
    r.set(detail::end, r.word(detail::write_cursor) + 4 + 9);  // the key "k" needs 10
    EXPECT_EQ(error_of([&] { f.push(fifo::object{{"k", 1}}); }), "push<" + object_name + "> failed");
    EXPECT_EQ(pushes(), 1u);
}

TEST_F(DynamicValues, PopAnyLeavesTagsOutsideItsTableUnread) {
    for (std::uint32_t t : {105u, 116u, 118u, 99u, 119u, 0u}) {
        w.set_reply(stream().tag(t).raw({0, 0, 0, 0}).bytes);
        EXPECT_EQ(error_of([&] { f.pop_any(); }), "pop_any unknown type") << t;
        EXPECT_EQ(read_offset(), 0u);
        EXPECT_EQ(pops(), 0u);
    }
    for (const bytes& short_reply : {bytes{}, bytes{115, 0, 0}}) {
        w.set_reply(short_reply);
        EXPECT_EQ(error_of([&] { f.pop_any(); }), "pop_as_string: could no retrieve type");
        EXPECT_EQ(read_offset(), 0u);
        EXPECT_EQ(pops(), 0u);
    }
}

TEST_F(DynamicValues, RepeatedKeysKeepTheLaterValue) {
    w.set_reply(stream()
                    .tag(tag_object_begin)
                    .str("a").i32(1)
                    .str("b").i32(2)
                    .str("a").tag(tag_array_begin).str("x").tag(tag_array_end)
                    .tag(tag_object_end)
                    .bytes);
    EXPECT_EQ(show(f.pop<fifo::object>()),
              show(fifo::object{{"a", fifo::array{std::string("x")}}, {"b", 2}}));
}

TEST_F(DynamicValues, MalformedContainersFailWithTheInnermostMessage) {
    struct malformed {
        stream reply;
        std::string message;
        std::uint32_t read_offset;  // where the failure leaves the read cursor
    };
    const std::string no_tag = "pop_as_string: could no retrieve type";
    const malformed cases[] = {
        // The reply ends inside an array: every complete element has been read.
        {stream().tag(tag_array_begin).i32(1).str("ab"), "pop<" + array_name + "> array end expected", 4 + 8 + 11},
        {stream().tag(tag_object_begin).str("k").i32(1), "pop<" + object_name + "> object end expected", 4 + 10 + 8},
        {stream().tag(tag_object_begin).str("k"), no_tag, 14},
        {stream().tag(tag_object_begin).str("k").tag(tag_array_begin).i32(1),
         "pop<" + array_name + "> array end expected", 4 + 10 + 4 + 8},
        // An int where a key belongs: its tag is consumed.
        {stream().tag(tag_object_begin).i32(5).i32(6).tag(tag_object_end),
         "pop<" + object_name + "> key expected", 8},
        {stream().tag(tag_object_begin).tag(tag_array_end), "pop<" + object_name + "> key expected", 8},
        {stream().tag(tag_array_begin).tag(tag_object_end), "pop_any unknown type", 4},
        {stream().tag(tag_array_begin).tag(tag_int32).raw({1, 2}), "pop<int> failed", 8},
    };
    for (const malformed& m : cases) {
        w.set_reply(m.reply.bytes);
        EXPECT_EQ(error_of([&] { f.pop_any(); }), m.message);
        EXPECT_EQ(read_offset(), m.read_offset) << m.message;
    }

    // Asking for an array or object that is not there: the tag is consumed.
    w.set_reply(stream().i32(1).bytes);
    EXPECT_EQ(error_of([&] { f.pop<fifo::array>(); }), "pop<" + array_name + "> array begin expected");
    EXPECT_EQ(read_offset(), 4u);
    w.set_reply(stream().tag(tag_array_begin).tag(tag_array_end).bytes);
    EXPECT_EQ(error_of([&] { f.pop<fifo::object>(); }), "pop<" + object_name + "> object begin expected");
    EXPECT_EQ(read_offset(), 4u);
    w.set_reply({});
    EXPECT_EQ(error_of([&] { f.pop<fifo::object>(); }), "pop<" + object_name + "> object begin expected");
    EXPECT_EQ(read_offset(), 0u);
}

TEST_F(DynamicValues, TwoHundredFiftySixLevelsRoundTrip) {
    const auto mixed = [](std::size_t level) { return level % 3 == 0; };
    f.push_any(nested(256, std::string("bottom"), mixed));
    w.loop_back();
    auto [depth, innermost] = descend(f.pop_any());
    EXPECT_EQ(depth, 256u);
    EXPECT_EQ(show(innermost), "s:\"bottom\"");

    w.request().clear();
    const boost::any arrays = nested(256, 1);
    f.push(boost::any_cast<const fifo::array&>(arrays));
    w.loop_back();
    EXPECT_EQ(descend(f.pop<fifo::array>()).first, 256u);
}

TEST_F(DynamicValues, DeeperWritesFailBeforeTheExtraLevel) {
    EXPECT_EQ(error_of([&] { f.push_any(nested(257, 1)); }), "push<" + array_name + "> nesting too deep");
    stream markers;
    for (int i = 0; i < 256; ++i) markers.tag(tag_array_begin);
    EXPECT_EQ(w.request_bytes(), markers.bytes);
    EXPECT_EQ(pushes(), 0u);

    w.request().clear();
    const auto object_at_bottom = [](std::size_t level) { return level == 257; };
    EXPECT_EQ(error_of([&] { f.push_any(nested(257, 1, object_at_bottom)); }),
              "push<" + object_name + "> nesting too deep");
}

TEST_F(DynamicValues, DeeperReadsFailBeforeTheExtraLevel) {
    stream arrays;
    for (int i = 0; i < 257; ++i) arrays.tag(tag_array_begin);
    w.set_reply(arrays.i32(1).bytes);
    EXPECT_EQ(error_of([&] { f.pop_any(); }), "pop<" + array_name + "> nesting too deep");
    EXPECT_EQ(read_offset(), 256u * 4);

    stream objects;
    for (int i = 0; i < 257; ++i) objects.tag(tag_object_begin).str("k");
    w.set_reply(objects.i32(1).bytes);
    EXPECT_EQ(error_of([&] { f.pop<fifo::object>(); }), "pop<" + object_name + "> nesting too deep");
    EXPECT_EQ(read_offset(), 256u * 14);

    // A reply made of nothing but begin markers stops at the same place.
    bytes hostile;
    for (int i = 0; i < 100000; ++i) testing_support::put32(hostile, tag_array_begin);
    w.set_reply(hostile);
    EXPECT_EQ(error_of([&] { f.pop<fifo::array>(); }), "pop<" + array_name + "> nesting too deep");
}

// Runs `work` on a thread with a 32 KiB stack; returns the message of what it
// threw, or "".
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

// Threads may run with far less stack than the main thread: nesting is
// walked, and discarded trees are taken apart, without recursion, so the full
// depth works on a small stack too. The trees handed to the thread and back
// are destroyed here, on the main thread.
TEST_F(DynamicValues, FullDepthNeedsNoDeepStack) {
    const boost::any sent = nested(256, 1, [](std::size_t level) { return level % 2 == 0; });
    boost::any back;
    EXPECT_EQ(on_small_stack([&] {
                  f.push_any(sent);
                  w.loop_back();
                  back = f.pop_any();
              }),
              "");
    EXPECT_EQ(descend(back).first, 256u);

    // A failure below a complete 255-level element discards that element.
    stream unfinished;
    unfinished.tag(tag_array_begin);
    for (int i = 0; i < 255; ++i) unfinished.tag(tag_array_begin);
    for (int i = 0; i < 255; ++i) unfinished.tag(tag_array_end);
    w.set_reply(unfinished.bytes);
    EXPECT_EQ(on_small_stack([&] { f.pop_any(); }), "pop<" + array_name + "> array end expected");

    // So does a repeated key that replaces a deep value.
    stream replaced;
    replaced.tag(tag_object_begin).str("a");
    for (int i = 0; i < 255; ++i) replaced.tag(tag_array_begin);
    for (int i = 0; i < 255; ++i) replaced.tag(tag_array_end);
    w.set_reply(replaced.str("a").i32(1).tag(tag_object_end).bytes);
    boost::any kept;
    EXPECT_EQ(on_small_stack([&] { kept = f.pop_any(); }), "");
    EXPECT_EQ(show(kept), show(fifo::object{{"a", 1}}));
}
