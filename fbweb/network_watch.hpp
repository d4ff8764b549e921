// SPDX-License-Identifier: MIT
#pragma once
// One reader of the whole network for everybody: a request for the network
// that comes while a walk runs takes that walk's result, and a watcher
// thread walks at a pace set by the walk's cost while anyone listens for
// changes. Every walk that finds the network changed reports the change.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <tarn/fb/network.hpp>

#include "device_api.hpp"

namespace fbweb {

struct network_snapshot {
    tarn::fb::network net;
    std::string document;  // fbdump's document on one line
    std::string etag;      // of the document, in quotes
};

class network_watch {
public:
    // Called after each walk, in the order of the walks, from the walking
    // thread: the ETag and the change object (empty when unchanged or on
    // the first walk).
    using listener = std::function<void(const std::string& etag, const std::string& change)>;

    network_watch(device_api& api, listener on_walk);
    ~network_watch();
    network_watch(const network_watch&) = delete;
    network_watch& operator=(const network_watch&) = delete;

    // The network as read by the walk in progress, or by a new one. Throws
    // what the walk threw.
    std::shared_ptr<const network_snapshot> walk();

    // Whether the watcher thread walks on its own; `watched` also wakes it
    // for a walk at once.
    void watch(bool watched);
    // Ends the watcher thread; no walk of its own runs after.
    void stop();
    // The pause between the watcher's walks, from the last walk's cost.
    std::chrono::milliseconds interval() const;

private:
    void run();

    device_api& api_;
    listener on_walk_;

    mutable std::mutex m_;
    std::condition_variable walked_;  // a walk ended
    std::condition_variable wake_;    // the watcher has something to do
    bool walking_ = false;
    unsigned long walks_ = 0;
    std::shared_ptr<const network_snapshot> last_;
    std::exception_ptr last_error_;
    std::chrono::steady_clock::duration last_cost_{};
    bool watched_ = false;
    bool woken_ = false;
    bool stopping_ = false;
    std::shared_ptr<const network_snapshot> reported_;  // the walker's previous result
    std::thread watcher_;
};

}  // namespace fbweb
