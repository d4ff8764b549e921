// SPDX-License-Identifier: MIT
// Shared walks of the network and the watcher thread.
#include "network_watch.hpp"

#include "json_output.hpp"
#include "network_changes.hpp"

namespace fbweb {

network_watch::network_watch(device_api& api, listener on_walk)
    : api_(api), on_walk_(std::move(on_walk)), watcher_([this] { run(); }) {}

network_watch::~network_watch() { stop(); }

void network_watch::stop() {
    {
        const std::lock_guard<std::mutex> lock(m_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
}

std::shared_ptr<const network_snapshot> network_watch::walk() {
    std::unique_lock<std::mutex> lock(m_);
    if (walking_) {
        const unsigned long mine = walks_;
        walked_.wait(lock, [&] { return walks_ != mine; });
        if (last_error_) std::rethrow_exception(last_error_);
        return last_;
    }
    walking_ = true;
    lock.unlock();

    std::shared_ptr<network_snapshot> now;
    std::exception_ptr failure;
    const auto started = std::chrono::steady_clock::now();
    try {
        now = std::make_shared<network_snapshot>();
        now->net = api_.whole_network();
        now->document = fbjson::to_json(now->net, true);
        now->etag = fbjson::etag_of(now->document);
        // Only one walk runs at a time, so the reports keep the walks' order.
        const bool changed = reported_ && reported_->etag != now->etag;
        on_walk_(now->etag, changed ? fbjson::network_changes(reported_->net, now->net, now->etag) : "");
        reported_ = now;
    } catch (...) {
        failure = std::current_exception();
    }

    lock.lock();
    last_cost_ = std::chrono::steady_clock::now() - started;
    last_ = failure ? nullptr : now;
    last_error_ = failure;
    walking_ = false;
    ++walks_;
    lock.unlock();
    walked_.notify_all();
    if (failure) std::rethrow_exception(failure);
    return now;
}

void network_watch::watch(bool watched) {
    {
        const std::lock_guard<std::mutex> lock(m_);
        watched_ = watched;
        woken_ = watched;
    }
    wake_.notify_all();
}

std::chrono::milliseconds network_watch::interval() const {
    const std::lock_guard<std::mutex> lock(m_);
    return fbjson::watch_interval(last_cost_);
}

void network_watch::run() {
    std::unique_lock<std::mutex> lock(m_);
    while (!stopping_) {
        if (woken_) {
            woken_ = false;
        } else if (watched_) {
            const auto pause = fbjson::watch_interval(last_cost_);
            if (wake_.wait_for(lock, pause, [this] { return stopping_ || woken_; })) continue;
        } else {
            wake_.wait(lock, [this] { return stopping_ || woken_ || watched_; });
            continue;
        }
        if (!watched_) continue;
        lock.unlock();
        try {
            walk();
        } catch (...) {
            // A device that cannot be read now is tried again at the next turn.
        }
        lock.lock();
    }
}

}  // namespace fbweb
