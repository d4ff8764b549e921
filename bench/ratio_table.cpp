// SPDX-License-Identifier: MIT
#include "ratio_table.hpp"

#include <algorithm>
#include <cstdio>

#include "registry.hpp"

namespace bench {

namespace {

// The goals, by row: the round trip at most `ratio` times the peer's time
// (msgpack-c) or the limit's (memcpy).
struct goal {
    const char* row;
    bool against_memcpy;
    double ratio;
};
constexpr goal goals[] = {
    {"int", false, 1.0 / 3},
    {"double", false, 1.0 / 3},
    {"string1k", true, 1.5},
    {"vector4096", true, 1.5},
};

std::string goal_verdict(const std::string& row, double vs_msgpack, double vs_memcpy) {
    for (const goal& g : goals) {
        if (row != g.row) continue;
        const double measured = g.against_memcpy ? vs_memcpy : vs_msgpack;
        char text[64];
        std::snprintf(text, sizeof text, "<= %.2f x %s: %s", g.ratio, g.against_memcpy ? "memcpy" : "msgpack-c",
                      measured > 0 && measured <= g.ratio ? "met" : "MISSED");
        return text;
    }
    return "";
}

std::string figure(double v, const char* format) {
    if (v < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

double ratio(double a, double b) { return a < 0 || b <= 0 ? -1 : a / b; }

}  // namespace

void ratio_table::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
        if (r.error_occurred) continue;
        const bool is_median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
        if (r.run_type == Run::RT_Aggregate && !is_median) continue;
        const std::string name = r.run_name.str();
        if (median_[name] && !is_median) continue;
        ns_[name] = r.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
        median_[name] = is_median;
    }
}

double ratio_table::ns(const std::string& name) const {
    const auto at = ns_.find(name);
    return at == ns_.end() ? -1 : at->second;
}

void ratio_table::print(std::ostream& out) const {
    const bool medians = std::any_of(median_.begin(), median_.end(), [](const auto& m) { return m.second; });
    const char* statistic = medians ? "median" : "single-run";
    char line[320];

    std::vector<std::string> values;
    for_each_sample([&](const char* row, const auto&) {
        if (ns(benchmark_name("stream", "push+pop", row)) >= 0) values.emplace_back(row);
    });
    if (!values.empty()) {
        out << "\nValue stream against msgpack-c and memcpy: " << statistic << " CPU time per value in ns\n"
            << "ours = push+pop; memcpy = the payload copied in and out; +alloc = the same, out to new memory\n";
        std::snprintf(line, sizeof line, "%-11s %6s %8s %8s %9s %10s %8s %8s %9s %8s %7s  %s\n", "value", "bytes",
                      "push", "pop", "push+pop", "msgpack-c", "memcpy", "+alloc", "/msgpack", "/memcpy", "/alloc",
                      "goal");
        out << line;
        for (const std::string& row : values) {
            std::size_t bytes = 0;
            for_each_sample([&](const char* name, const auto& v) {
                if (row == name) bytes = payload_bytes(v);
            });
            const double ours = ns(benchmark_name("stream", "push+pop", row));
            const double peer = ns(benchmark_name("msgpack-c", "pack+unpack", row));
            const double limit = ns(benchmark_name("memcpy", "in+out", row));
            const double allocating = ns(benchmark_name("memcpy", "in+new-out", row));
            std::snprintf(line, sizeof line, "%-11s %6zu %8s %8s %9s %10s %8s %8s %9s %8s %7s  %s\n", row.c_str(),
                          bytes, figure(ns(benchmark_name("stream", "push", row)), "%.1f").c_str(),
                          figure(ns(benchmark_name("stream", "pop", row)), "%.1f").c_str(),
                          figure(ours, "%.1f").c_str(), figure(peer, "%.1f").c_str(), figure(limit, "%.1f").c_str(),
                          figure(allocating, "%.1f").c_str(), figure(ratio(ours, peer), "%.3f").c_str(),
                          figure(ratio(ours, limit), "%.2f").c_str(), figure(ratio(ours, allocating), "%.2f").c_str(),
                          goal_verdict(row, ratio(ours, peer), ratio(ours, limit)).c_str());
            out << line;
        }
    }

    std::vector<std::string> reused;
    for_each_sample([&](const char* row, const auto&) {
        if (ns(benchmark_name("stream", "push+pop-into", row)) >= 0) reused.emplace_back(row);
    });
    if (!reused.empty()) {
        out << "\nPopping into a string or vector kept by the caller (pop_into): " << statistic
            << " CPU time per value in ns\n";
        std::snprintf(line, sizeof line, "%-11s %6s %14s %8s %8s  %s\n", "value", "bytes", "push+pop_into", "memcpy",
                      "/memcpy", "goal");
        out << line;
        for (const std::string& row : reused) {
            const double ours = ns(benchmark_name("stream", "push+pop-into", row));
            const double limit = ns(benchmark_name("memcpy", "in+out", row));
            std::size_t bytes = 0;
            for_each_sample([&](const char* name, const auto& v) {
                if (row == name) bytes = payload_bytes(v);
            });
            std::snprintf(line, sizeof line, "%-11s %6zu %14s %8s %8s  %s\n", row.c_str(), bytes,
                          figure(ours, "%.1f").c_str(), figure(limit, "%.1f").c_str(),
                          figure(ratio(ours, limit), "%.2f").c_str(),
                          goal_verdict(row, -1, ratio(ours, limit)).c_str());
            out << line;
        }
    }

    std::vector<std::string> exchanges;
    for (const std::string& row : exchange_rows())
        if (ns(benchmark_name("exchange", "full", row)) >= 0) exchanges.push_back(row);
    if (!exchanges.empty()) {
        out << "\nExchanges through the in-process emulator: " << statistic << " CPU time in us\n";
        std::snprintf(line, sizeof line, "%-11s %10s %10s %13s\n", "exchange", "full", "client", "client share");
        out << line;
        for (const std::string& row : exchanges) {
            const double full = ns(benchmark_name("exchange", "full", row));
            const double client = ns(benchmark_name("exchange", "client", row));
            std::snprintf(line, sizeof line, "%-11s %10s %10s %12s%%\n", row.c_str(),
                          figure(full / 1e3, "%.2f").c_str(), figure(client < 0 ? -1 : client / 1e3, "%.3f").c_str(),
                          figure(ratio(client, full) < 0 ? -1 : 100 * client / full, "%.2f").c_str());
            out << line;
        }
    }
}

}  // namespace bench
