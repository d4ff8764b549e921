// SPDX-License-Identifier: MIT
// The limit: memcpy of each sample's payload bytes into the window and out of
// it again, the two copies that a push and a pop must make at the least; and
// the same with the second copy going to new memory, as a pop that returns
// an owned string or vector must.
#include <cstring>
#include <memory>
#include <vector>

#include "registry.hpp"
#include "window.hpp"

namespace bench {

namespace {

// The payload bytes of a value where they are: a scalar's own bytes, a
// string's characters, a vector's elements. An object's keys and values are
// not contiguous; a buffer of as many bytes stands in for them.
struct payload {
    const void* data;
    std::size_t size;
    std::vector<unsigned char> stand_in;
};
template <class T>
payload payload_of(const T& v) {
    return {&v, sizeof v, {}};
}
payload payload_of(const std::string& v) { return {v.data(), v.size(), {}}; }
payload payload_of(const std::vector<float>& v) { return {v.data(), v.size() * sizeof(float), {}}; }
payload payload_of(const object& v) {
    payload p{nullptr, payload_bytes(v), std::vector<unsigned char>(payload_bytes(v), 0x5a)};
    p.data = p.stand_in.data();
    return p;
}

// The copies follow the stream's path: from where the value lives to where a
// push puts its payload in the window (after the tag and the length word),
// then out of the window.
template <class V, class CopyOut>
void copy_in_then(benchmark::State& state, const V& value, CopyOut copy_out) {
    const payload p = payload_of(value);
    testing_support::window w;
    unsigned char* const in_window = tarn::fb::detail::pointer_to(w.request().word(tarn::fb::detail::begin)) + 8;
    std::size_t n = p.size;
    for (auto _ : state) {
        // A size the compiler cannot see, so that memcpy is called as for
        // any payload.
        benchmark::DoNotOptimize(n);
        std::memcpy(in_window, p.data, n);
        benchmark::ClobberMemory();
        copy_out(in_window, n);
        benchmark::ClobberMemory();
    }
}

template <class V>
void copy_in_out(benchmark::State& state, const V& value) {
    std::vector<unsigned char> destination(payload_bytes(value));
    copy_in_then(state, value,
                 [&](const unsigned char* from, std::size_t n) { std::memcpy(destination.data(), from, n); });
}

template <class V>
void copy_in_new_out(benchmark::State& state, const V& value) {
    copy_in_then(state, value, [](const unsigned char* from, std::size_t n) {
        std::unique_ptr<unsigned char[]> destination(new unsigned char[n]);
        std::memcpy(destination.get(), from, n);
        benchmark::DoNotOptimize(destination.get());
    });
}

}  // namespace

void register_memcpy() {
    register_per_sample("memcpy", "in+out", [](benchmark::State& s, const auto& v) { copy_in_out(s, v); });
    register_per_sample("memcpy", "in+new-out", [](benchmark::State& s, const auto& v) { copy_in_new_out(s, v); });
}

}  // namespace bench
