// SPDX-License-Identifier: MIT
// The value stream: push, pop, and push then pop of each sample value in the
// shared window (a loopback region; see loopback.hpp); for strings and vectors
// also push then pop_into an object kept between iterations.
#include <type_traits>

#include "registry.hpp"
#include "loopback.hpp"

namespace bench {

namespace {

// The type a sample is pushed and popped as.
template <class V>
using stream_type = std::decay_t<V>;

template <class V>
void push(benchmark::State& state, const V& value) {
    loopback l;
    for (auto _ : state) {
        l.refill(value);
        benchmark::ClobberMemory();
    }
}

template <class V>
void pop(benchmark::State& state, const V& value) {
    loopback l;
    l.f.push(value);
    for (auto _ : state) {
        l.rewind();
        auto out = l.f.pop<stream_type<V>>();
        benchmark::DoNotOptimize(out);
    }
}

template <class V>
void push_pop(benchmark::State& state, const V& value) {
    loopback l;
    for (auto _ : state) {
        l.refill(value);
        auto out = l.f.pop<stream_type<V>>();
        benchmark::DoNotOptimize(out);
    }
    // One check that the value came back whole.
    l.refill(value);
    if (!same_value(l.f.pop<stream_type<V>>(), value)) state.SkipWithError("the value did not come back");
}

// The same, popping into an object kept from one iteration to the next.
template <class V>
void push_pop_into(benchmark::State& state, const V& value) {
    loopback l;
    V out;
    for (auto _ : state) {
        l.refill(value);
        l.f.pop_into(out);
        benchmark::DoNotOptimize(out);
    }
    if (!same_value(out, value)) state.SkipWithError("the value did not come back");
}

template <class V>
constexpr bool has_pop_into = std::is_same_v<V, std::string> || std::is_same_v<V, std::vector<float>>;

}  // namespace

void register_value_stream() {
    register_per_sample("stream", "push", [](benchmark::State& s, const auto& v) { push(s, v); });
    register_per_sample("stream", "pop", [](benchmark::State& s, const auto& v) { pop(s, v); });
    register_per_sample("stream", "push+pop", [](benchmark::State& s, const auto& v) { push_pop(s, v); });
    for_each_sample([](const char* row, const auto& value) {
        if constexpr (has_pop_into<stream_type<decltype(value)>>) {
            benchmark::RegisterBenchmark(benchmark_name("stream", "push+pop-into", row).c_str(),
                                         [&value](benchmark::State& s) { push_pop_into(s, value); })
                ->Unit(benchmark::kNanosecond);
        }
    });
}

}  // namespace bench
