// SPDX-License-Identifier: MIT
// Values go through the window without touching the heap: fixed-size values
// always, strings and vectors when popped into an object with room for them.
// This program replaces the global allocation functions with counting ones,
// which also see every allocation made inside the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <new>

#include "window.hpp"

namespace {

std::size_t allocations = 0;

void* counted_allocation(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return counted_allocation(n); }
void* operator new[](std::size_t n) { return counted_allocation(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <class F>
std::size_t allocations_during(F&& f) {
    const std::size_t before = allocations;
    f();
    return allocations - before;
}

class fb_no_allocation : public ::testing::Test {
protected:
    testing_support::window w;
    tarn::fb::fifo& f = w.fifo;

    // The message of the error that `op` throws on `reply`, and where it
    // leaves the read cursor.
    using failure = std::pair<std::string, std::uint32_t>;
    failure failure_of(const std::vector<unsigned char>& reply, const std::function<void()>& op) {
        w.set_reply(reply);
        std::string message = "no error";
        try {
            op();
        } catch (const tarn::fb::fifo::error& e) {
            message = e.what();
        }
        return {message, w.reply_offset_of_read_cursor()};
    }

    // Pushes `v`, moves the request over to the reply region and pops it back
    // typed and converted; none of the three may allocate.
    template <class T>
    void round_trip(T v) {
        SCOPED_TRACE(tarn::fb::wire<T>::name());
        w.request().clear();
        EXPECT_EQ(allocations_during([&] { f.push<T>(v); }), 0u);
        w.loop_back();
        T back{};
        EXPECT_EQ(allocations_during([&] { back = f.pop<T>(); }), 0u);
        EXPECT_EQ(back, v);
        w.loop_back();
        double number = 0;
        EXPECT_EQ(allocations_during([&] { number = f.pop_as_double(); }), 0u);
        EXPECT_EQ(number, static_cast<double>(v));
    }
};

TEST_F(fb_no_allocation, scalar_pushes_pops_and_number_conversions) {
    round_trip<signed char>(-7);
    round_trip<short>(-300);
    round_trip<int>(std::numeric_limits<int>::min());
    round_trip<long long>(-40000000000LL);
    round_trip<unsigned char>(200);
    round_trip<unsigned int>(0xdeadbeefu);
    round_trip<unsigned long long>(1ULL << 52);
    round_trip<float>(-2.5f);
    round_trip<double>(1e300);
    round_trip<bool>(true);
}

TEST_F(fb_no_allocation, pop_into_an_object_with_room_reuses_it) {
    const std::string text(1024, 'x');
    const std::vector<float> floats(4096, 0.5f);
    const std::vector<double> doubles{1.0, -2.0, 1e300};
    f.push(text);
    f.push(floats);
    f.push(doubles);
    w.loop_back();
    std::string text_back(2000, '?');
    std::vector<float> floats_back(5000, 9.0f);
    std::vector<double> doubles_back(3);
    EXPECT_EQ(allocations_during([&] {
                  f.pop_into(text_back);
                  f.pop_into(floats_back);
                  f.pop_into(doubles_back);
              }),
              0u);
    EXPECT_EQ(text_back, text);
    EXPECT_EQ(floats_back, floats);
    EXPECT_EQ(doubles_back, doubles);
}

// A failed pop_into says and consumes what the pop by value does, and leaves
// the object as it was.
TEST_F(fb_no_allocation, a_failed_pop_into_leaves_the_object_alone) {
    using testing_support::put32;
    std::vector<unsigned char> zero_length, cut_short;
    put32(zero_length, tarn::fb::tag_string);
    put32(zero_length, 0);
    put32(cut_short, tarn::fb::tag_float_vector);
    put32(cut_short, 2);
    put32(cut_short, 0);

    std::string s("kept");
    const failure string_into = failure_of(zero_length, [&] { f.pop_into(s); });
    EXPECT_EQ(string_into, failure_of(zero_length, [&] { f.pop<std::string>(); }));
    EXPECT_NE(string_into.first, "no error");
    EXPECT_EQ(s, "kept");

    std::vector<float> v{1.0f};
    const failure vector_into = failure_of(cut_short, [&] { f.pop_into(v); });
    EXPECT_EQ(vector_into, failure_of(cut_short, [&] { f.pop<std::vector<float>>(); }));
    EXPECT_NE(vector_into.first, "no error");
    EXPECT_EQ(v, std::vector<float>{1.0f});
}

// Without this the zeros above could come from a counter that misses the
// library's allocations.
TEST_F(fb_no_allocation, the_counter_sees_allocations_inside_the_library) {
    const std::string long_text(100, 'x');
    f.push(long_text);
    w.loop_back();
    std::string back;
    EXPECT_GE(allocations_during([&] { back = f.pop<std::string>(); }), 1u);
    EXPECT_EQ(back, long_text);
}

}  // namespace
