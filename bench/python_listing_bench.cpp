// SPDX-License-Identifier: MIT
// One property listing of a block from Python (tarnfb's Device.properties(),
// called through an embedded interpreter) against the same listing in C++
// (the module's own reading of the reply under the session's lock). Both run
// on a device interposed in this program: the emulator for whole
// exchanges, and a reply recorded from it and made unread again for the
// client's side alone.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>
#include <pybind11/embed.h>
#include <tarn/fb/driver.hpp>

#include <tarn/fb/network.hpp>

#include "devices.hpp"
#include "scratch_state.hpp"

namespace py = pybind11;

namespace {

using bench::emulate;
using bench::replay;

// The biquad filter of the emulator's default network: an enum, two floats
// and a uint8.
const std::string block = "lowpass";

void cxx_listing() {
    const auto listed = tarn::fb::read_properties(tarn::fb::driver::instance(), block);
    if (listed.size() != 4) throw std::runtime_error("lowpass has not 4 properties");
    benchmark::DoNotOptimize(listed.data());
}

py::object python_listing;  // tarnfb.Device().properties

void python_call() {
    py::object listed = python_listing(block);
    benchmark::DoNotOptimize(listed.ptr());
}

template <void (*Listing)(), int (*Device)(unsigned char*, unsigned long)>
void listing(benchmark::State& state) {
    interposer_install(bench::emulated);
    Listing();  // the reply that the replaying device makes unread again
    interposer_install({Device, nullptr, nullptr, nullptr, nullptr});
    while (state.KeepRunning()) Listing();
    interposer_install(bench::emulated);
}

}  // namespace

// Registered before main runs; main sets up the interpreter they call.
BENCHMARK(listing<cxx_listing, replay>)->Name("properties/client/cxx")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<python_call, replay>)->Name("properties/client/python")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<cxx_listing, emulate>)->Name("properties/full/cxx")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<python_call, emulate>)->Name("properties/full/python")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    int status = 0;
    try {
        // The emulated device starts from its default network, in a state
        // file of its own.
        const fbemu::scratch_state scratch;
        interposer_install(bench::emulated);
        py::scoped_interpreter python;
        py::module_::import("sys").attr("path").attr("insert")(0, TARNFB_PACKAGE_DIR);
        python_listing = py::module_::import("tarnfb").attr("Device")().attr("properties");
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) status = 1;
        if (status == 0) benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        python_listing = py::object();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnfb-bench: %s\n", e.what());
        status = 1;
    }
    return status;
}
