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

#include "executor.hpp"
#include "interposer.h"

namespace py = pybind11;

namespace {

using tarn::fb::detail::begin;
using tarn::fb::detail::pop_count;
using tarn::fb::detail::read_cursor;
using tarn::fb::detail::region;

// The biquad filter of the emulator's default network: an enum, two floats
// and a uint8.
const std::string block = "lowpass";

int emulate(unsigned char* window, unsigned long request) { return fbemu::execute(window, request); }

// The reply of the last exchange, unread again.
int replay(unsigned char* window, unsigned long) {
    region r(window + tarn::fb::reply_offset);
    r.set(pop_count, 0);
    r.set(read_cursor, r.word(begin));
    return 0;
}

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
    interposer_install({emulate, nullptr, nullptr, nullptr});
    Listing();  // the reply that the replaying device makes unread again
    interposer_install({Device, nullptr, nullptr, nullptr});
    while (state.KeepRunning()) Listing();
    interposer_install({emulate, nullptr, nullptr, nullptr});
}

}  // namespace

// Registered before main runs; main sets up the interpreter they call.
BENCHMARK(listing<cxx_listing, replay>)->Name("properties/client/cxx")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<python_call, replay>)->Name("properties/client/python")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<cxx_listing, emulate>)->Name("properties/full/cxx")->Unit(benchmark::kMicrosecond);
BENCHMARK(listing<python_call, emulate>)->Name("properties/full/python")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    // The emulated device starts from its default network, in a state file
    // of its own.
    char dir[] = "/tmp/tarnfb-bench-XXXXXX";
    if (::mkdtemp(dir) == nullptr) return 1;
    const std::string state = std::string(dir) + "/state.json";
    ::setenv("FBEMU_STATE", state.c_str(), 1);
    ::unsetenv("FBEMU_CATALOG");
    ::unsetenv("FBEMU_FAULT");
    interposer_install({emulate, nullptr, nullptr, nullptr});
    int status = 0;
    try {
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
    std::remove(state.c_str());
    std::remove((state + ".lock").c_str());
    ::rmdir(dir);
    return status;
}
