// SPDX-License-Identifier: MIT
// Watching the network for changes from the command line.
#include "watch.hpp"

#include <chrono>
#include <iostream>
#include <thread>

#include <tarn/fb/network.hpp>
#include <tool.hpp>

#include "json_output.hpp"
#include "network_changes.hpp"

namespace fbdump {

namespace {

using clock = std::chrono::steady_clock;

struct reading {
    tarn::fb::network net;
    std::string etag;
    clock::duration cost;
};

reading read(const options& o) {
    const auto started = clock::now();
    reading r;
    r.net = tarn::fb::read_network(tarn::fb::driver::instance(), o.factories);
    r.etag = fbjson::etag_of(fbjson::to_json(r.net, true));
    r.cost = clock::now() - started;
    return r;
}

}  // namespace

void watch(const options& o) {
    reading before = read(o);
    std::cerr << "fbdump: watching the network, reading it every " << fbjson::watch_interval(before.cost).count()
              << " ms (twenty times a walk, at least 500 ms)" << std::endl;
    for (;;) {
        std::this_thread::sleep_for(fbjson::watch_interval(before.cost));
        reading now = read(o);
        if (now.etag != before.etag) {
            const std::string change = fbjson::network_changes(before.net, now.net, now.etag);
            if (!change.empty()) cli::print(change + "\n");
        }
        before = std::move(now);
    }
}

}  // namespace fbdump
