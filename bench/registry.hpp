// SPDX-License-Identifier: MIT
#pragma once
// Benchmark names are "<encoder>/<operation>/<row>"; the ratio table finds
// its figures by these names.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "samples.hpp"

namespace bench {

inline std::string benchmark_name(const std::string& encoder, const std::string& operation, const std::string& row) {
    return encoder + "/" + operation + "/" + row;
}

// Registers `body(state, value)` once per sample value.
template <class Body>
void register_per_sample(const char* encoder, const char* operation, Body body) {
    for_each_sample([&](const char* row, const auto& value) {
        benchmark::RegisterBenchmark(benchmark_name(encoder, operation, row).c_str(), [body, &value](
                                                                                          benchmark::State& state) {
            body(state, value);
        })->Unit(benchmark::kNanosecond);
    });
}

// The exchanges measured, in table order.
std::vector<std::string> exchange_rows();

// Each encoder's benchmarks.
void register_value_stream();
void register_msgpack();
void register_memcpy();
void register_exchanges();

}  // namespace bench
