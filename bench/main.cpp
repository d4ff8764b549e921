// SPDX-License-Identifier: MIT
// patchbay-bench: the value stream against msgpack-c and memcpy, and whole
// exchanges through the in-process emulator. Takes Google Benchmark's
// options; after the runs it prints the ratio tables.
#include <iostream>

#include "ratio_table.hpp"
#include "registry.hpp"

int main(int argc, char** argv) {
    bench::register_value_stream();
    bench::register_msgpack();
    bench::register_memcpy();
    bench::register_exchanges();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::ratio_table table;
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    std::cout.flush();
    table.print(std::cout);
    return 0;
}
