// SPDX-License-Identifier: MIT
#pragma once
// A console reporter that also keeps each benchmark's CPU time per iteration
// (the median when repetitions are asked for) and prints the comparison
// tables from them once every benchmark has run.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace bench {

class ratio_table : public benchmark::ConsoleReporter {
public:
    ratio_table() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override;

    // The value table (stream, msgpack-c, memcpy) and the exchange table.
    void print(std::ostream& out) const;

private:
    // Nanoseconds of the named benchmark, or a negative number if it did not run.
    double ns(const std::string& name) const;
    std::map<std::string, double> ns_;
    std::map<std::string, bool> median_;  // whether ns_ holds the median
};

}  // namespace bench
