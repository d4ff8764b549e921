// SPDX-License-Identifier: MIT
// The Prometheus text exposition of the device and of the exchange counters.
#include "metrics.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <type_traits>

#include <tarn/fb/exchange_observer.hpp>
#include <tarn/fb/fifo.hpp>

#include "document_reader.hpp"

namespace fbweb {

namespace {

// A label value with backslash, double quote and line end escaped.
std::string label(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += {'\\', c};
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// A sample value; a float property's value as the float's shortest text
// (0.8, not the 0.800000011920929 its double would print).
template <class T>
std::string number(T x) {
    if constexpr (std::is_floating_point_v<T>) {
        if (std::isnan(x)) return "NaN";
        if (std::isinf(x)) return x > 0 ? "+Inf" : "-Inf";
    }
    char out[32];
    const auto end = std::to_chars(out, out + sizeof out, x).ptr;
    return std::string(out, end);
}

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// A property's value as a sample value, and as a number: numbers and
// booleans; an enum's index. False for other values (text, lists, objects).
bool numeric_value(const tarn::fb::property_data& p, std::string& text, double& x) {
    bool found = false;
    tarn::fb::visit_held(p.value, [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
            text = v ? "1" : "0";
            x = v;
            found = true;
        } else if constexpr (std::is_arithmetic_v<T>) {
            text = number(v);
            x = static_cast<double>(v);
            found = true;
        }
    });
    return found;
}

void network_families(std::string& out, const tarn::fb::network& net) {
    family(out, "patchbay_blocks", "gauge", "Blocks on the device, by factory.");
    std::size_t connections = 0;
    for (const auto& f : net.factories) {
        out += "patchbay_blocks{factory=\"" + label(f.name) + "\"} " + std::to_string(f.blocks.size()) + "\n";
        for (const auto& b : f.blocks)
            for (const auto& port : b.outputs) connections += port.connections.size();
    }
    family(out, "patchbay_connections", "gauge", "Connections between an output and an input.");
    out += "patchbay_connections " + std::to_string(connections) + "\n";

    std::string choices;
    family(out, "patchbay_property_value", "gauge", "Each numeric property's value; an enum's choice index.");
    for (const auto& f : net.factories)
        for (const auto& b : f.blocks)
            for (const auto& p : b.properties) {
                std::string text;
                double x = 0;
                if (!numeric_value(p, text, x)) continue;
                const std::string labels = "block=\"" + label(b.name) + "\",property=\"" + label(p.name) + "\"";
                out += "patchbay_property_value{" + labels + "} " + text + "\n";
                // The index is converted only once it is known to be a choice's:
                // any number (2^64 - 1 among them) may stand in a property.
                if (p.type == "enum" && x >= 0 && x < static_cast<double>(p.choices.size()))
                    choices += "patchbay_property_choice_info{" + labels + ",choice=\"" +
                               label(p.choices[static_cast<std::size_t>(x)]) + "\"} 1\n";
            }
    family(out, "patchbay_property_choice_info", "gauge", "The name of each enum property's current choice.");
    out += choices;
}

exchange_counters& process_counters() {
    static exchange_counters counters;
    return counters;
}

void count_exchange(const char* command, double seconds, bool failed) {
    process_counters().record(command, seconds, failed);
}

}  // namespace

void exchange_counters::record(const char* command, double seconds, bool failed) {
    std::size_t bucket = 0;
    while (bucket < bounds.size() && seconds > bounds[bucket]) ++bucket;
    const std::lock_guard<std::mutex> lock(mutex_);
    by_command& c = commands_[command];
    ++c.exchanges;
    if (failed) ++c.errors;
    if (bucket < bounds.size()) ++buckets_[bucket];
    ++count_;
    sum_ += seconds;
}

std::string exchange_counters::text() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    family(out, "patchbay_exchanges_total", "counter", "Command exchanges with the device, by command.");
    for (const auto& [command, c] : commands_)
        out += "patchbay_exchanges_total{command=\"" + label(command) + "\"} " + std::to_string(c.exchanges) + "\n";
    family(out, "patchbay_device_errors_total", "counter",
           "Exchanges that ended in an error (refused by the device or failed), by command.");
    for (const auto& [command, c] : commands_)
        out += "patchbay_device_errors_total{command=\"" + label(command) + "\"} " + std::to_string(c.errors) + "\n";
    family(out, "patchbay_exchange_duration_seconds", "histogram", "Time of one command exchange with the device.");
    unsigned long long cumulative = 0;
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        cumulative += buckets_[i];
        out += "patchbay_exchange_duration_seconds_bucket{le=\"" + number(bounds[i]) + "\"} " +
               std::to_string(cumulative) + "\n";
    }
    out += "patchbay_exchange_duration_seconds_bucket{le=\"+Inf\"} " + std::to_string(count_) + "\n";
    out += "patchbay_exchange_duration_seconds_sum " + number(sum_) + "\n";
    out += "patchbay_exchange_duration_seconds_count " + std::to_string(count_) + "\n";
    return out;
}

exchange_counters& counted_exchanges() {
    static const bool hooked = (tarn::fb::set_exchange_observer(count_exchange), true);
    (void)hooked;
    return process_counters();
}

tarn::fb::wanted_network read_match_document(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("--match: cannot open " + file + ": " + std::strerror(errno));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("--match: cannot read " + file);
    try {
        return fbjson::read_document(text);
    } catch (const fbjson::document_error& e) {
        throw std::runtime_error("--match: " + file + ": " + e.what());
    }
}

std::string metrics_text(const scrape_result& scrape, const exchange_counters& counters) {
    std::string out;
    family(out, "patchbay_device_up", "gauge", "Whether the device answered the last scrape (1) or not (0).");
    out += std::string("patchbay_device_up ") + (scrape.network ? "1" : "0") + "\n";
    if (scrape.network) network_families(out, *scrape.network);
    if (scrape.matching) {
        family(out, "patchbay_network_matches", "gauge", "Whether the network matches the --match document.");
        out += std::string("patchbay_network_matches ") + (scrape.differences == 0 ? "1" : "0") + "\n";
        family(out, "patchbay_network_differences", "gauge",
               "Changes that would bring the network to the --match document.");
        out += "patchbay_network_differences " + std::to_string(scrape.differences) + "\n";
    }
    return out + counters.text();
}

}  // namespace fbweb
