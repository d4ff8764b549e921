// SPDX-License-Identifier: MIT
#pragma once
// The device in Prometheus's text format: what one walk of its network shows,
// whether it matches a document, and the exchanges the library's hook counted.
#include <array>
#include <map>
#include <exception>
#include <mutex>
#include <string>

#include <tarn/fb/network.hpp>

namespace fbweb {

// Exchanges and refusals by command, and exchange time as a histogram; safe
// to record into from any thread.
class exchange_counters {
public:
    // Upper bounds of the histogram's buckets, in seconds (+Inf follows).
    static constexpr std::array<double, 10> bounds{0.0001, 0.00025, 0.0005, 0.001, 0.0025,
                                                   0.005,  0.01,    0.025,  0.05,  0.1};

    void record(const char* command, double seconds, bool failed);
    // The families patchbay_exchanges_total, patchbay_device_errors_total and
    // patchbay_exchange_duration_seconds.
    std::string text() const;

private:
    struct by_command {
        unsigned long long exchanges = 0;
        unsigned long long errors = 0;
    };
    mutable std::mutex mutex_;
    std::map<std::string, by_command> commands_;
    std::array<unsigned long long, bounds.size()> buckets_{};  // not cumulative
    unsigned long long count_ = 0;
    double sum_ = 0;
};

// The process's counters; the first call sets the library's exchange hook to
// record into them.
exchange_counters& counted_exchanges();

// What a scrape found: the network (null when the device did not answer),
// and, with a document to match, the number of changes that would bring the
// device to it (as fbrestore --check counts them).
struct scrape_result {
    const tarn::fb::network* network = nullptr;
    bool matching = false;
    std::size_t differences = 0;
};

// The whole exposition: device_up, blocks per factory, connections, property
// values (enums as their index plus a choice info metric), the match, then
// the exchange counters.
std::string metrics_text(const scrape_result& scrape, const exchange_counters& counters);

// The document of --match, read once at start; throws std::runtime_error
// naming the file when it cannot be read or is not a network document.
tarn::fb::wanted_network read_match_document(const std::string& file);

// One scrape of the device through `read` (one walk of the network): a device whose walk fails is reported as down.
// `match` is the document the network should match, or null.
template <class Read>
std::string scrape_metrics(Read read, const tarn::fb::wanted_network* match) {
    tarn::fb::network net;
    scrape_result scrape;
    try {
        net = read();
        scrape.network = &net;
    } catch (const std::exception&) {
        // Missing, refusing or answering garbage: the device is down for this scrape.
    }
    if (scrape.network && match) {
        scrape.matching = true;
        try {
            // As fbrestore --check counts them: the changes and the kept blocks.
            const tarn::fb::plan p = tarn::fb::make_plan(net, *match);
            scrape.differences = p.changes.size() + p.kept.size();
        } catch (const tarn::fb::plan_error&) {
            scrape.differences = 1;  // the device cannot reach the document at all
        }
    }
    return metrics_text(scrape, counted_exchanges());
}

}  // namespace fbweb
