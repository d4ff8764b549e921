// The limit: memcpy of each sample's payload bytes into a buffer and out of
// it again, the two copies that a push and a pop must make at the least; and
// the same with the second copy going to new memory, as a pop that returns
// an owned string or vector must.
#include <cstring>
#include <memory>
#include <vector>

#include "registry.hpp"

namespace bench {

namespace {

void copy_in_out(benchmark::State& state, std::size_t n) {
    std::vector<unsigned char> source(n, 0x5a), middle(n), destination(n);
    for (auto _ : state) {
        // A size the compiler cannot see, so that memcpy is called as for
        // any payload.
        benchmark::DoNotOptimize(n);
        std::memcpy(middle.data(), source.data(), n);
        benchmark::ClobberMemory();
        std::memcpy(destination.data(), middle.data(), n);
        benchmark::ClobberMemory();
    }
}

void copy_in_new_out(benchmark::State& state, std::size_t n) {
    std::vector<unsigned char> source(n, 0x5a), middle(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(n);
        std::memcpy(middle.data(), source.data(), n);
        benchmark::ClobberMemory();
        std::unique_ptr<unsigned char[]> destination(new unsigned char[n]);
        std::memcpy(destination.get(), middle.data(), n);
        benchmark::DoNotOptimize(destination.get());
        benchmark::ClobberMemory();
    }
}

}  // namespace

void register_memcpy() {
    register_per_sample("memcpy", "in+out",
                        [](benchmark::State& s, const auto& v) { copy_in_out(s, payload_bytes(v)); });
    register_per_sample("memcpy", "in+new-out",
                        [](benchmark::State& s, const auto& v) { copy_in_new_out(s, payload_bytes(v)); });
}

}  // namespace bench
