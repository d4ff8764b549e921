// SPDX-License-Identifier: MIT
// scale-bench: the cost of one exchange with the in-process emulator on
// networks of 7, 1,000 and 10,000 blocks: a property listing of one block,
// and a create (undone by a destroy outside the timing), once the emulator
// has read the network. Takes Google Benchmark's options.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>
#include <tarn/fb/driver.hpp>

#include "devices.hpp"
#include "scale_network.hpp"
#include "scratch_state.hpp"

namespace {

using tarn::fb::driver;

// A state file of its own, removed at exit.
const fbemu::scratch_state& files() {
    static const fbemu::scratch_state scratch;
    return scratch;
}

// The block in the middle of the network: an added gain stage, or on the
// 7-block network its gain.
std::string middle_block(int blocks) { return blocks > 7 ? bench::scaled_block_name((blocks - 7) / 2) : "volume"; }

// The session on a network of state.range(0) blocks, once the emulator has
// read it.
driver& on_network(const benchmark::State& state) {
    bench::write_scaled_network(files().state(), static_cast<int>(state.range(0)));
    driver& d = driver::instance();
    d.value("volume.level");  // the first exchange after the state file changed reads it
    return d;
}

void list_func_props(benchmark::State& state) {
    driver& d = on_network(state);
    const std::string name = middle_block(static_cast<int>(state.range(0)));
    while (state.KeepRunning()) {
        tarn::fb::fifo& results = d.list_func_props(name);
        benchmark::DoNotOptimize(results.pop<int>());
    }
}

void create(benchmark::State& state) {
    driver& d = on_network(state);
    while (state.KeepRunning()) {
        const unsigned int ticket = d.create("gain", "extra");
        state.PauseTiming();
        d.destroy(ticket);
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(list_func_props)->Arg(7)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(create)->Arg(7)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    interposer_install(bench::emulated);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
