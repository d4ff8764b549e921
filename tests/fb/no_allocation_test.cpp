// Fixed-size values go through the window without touching the heap: this
// program replaces the global allocation functions with counting ones, which
// also see every allocation made inside the library.
#include <gtest/gtest.h>

#include <cstdlib>
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

class NoAllocation : public ::testing::Test {
protected:
    testing_support::window w;
    tarn::fb::fifo& f = w.fifo;

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

TEST_F(NoAllocation, ScalarPushesPopsAndNumberConversions) {
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

// Without this the zeros above could come from a counter that misses the
// library's allocations.
TEST_F(NoAllocation, TheCounterSeesAllocationsInsideTheLibrary) {
    const std::string long_text(100, 'x');
    f.push(long_text);
    w.loop_back();
    std::string back;
    EXPECT_GE(allocations_during([&] { back = f.pop<std::string>(); }), 1u);
    EXPECT_EQ(back, long_text);
}

}  // namespace
