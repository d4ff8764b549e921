// SPDX-License-Identifier: MIT
// Server-sent events to every open stream.
#include "event_streams.hpp"

#include <algorithm>

#include <boost/asio/post.hpp>

namespace fbweb {

namespace {

std::shared_ptr<const std::string> hello(const std::string& etag) {
    // The ETag is a JSON string as it stands: hex digits in quotes.
    return std::make_shared<const std::string>("event: hello\ndata: {\"etag\": \"\\" + etag.substr(0, etag.size() - 1) +
                                               "\\\"\"}\n\n");
}

}  // namespace

event_streams::event_streams(boost::asio::io_context& loop, network_watch& watch)
    : loop_(loop), watch_(watch), timer_(loop) {}

void event_streams::join(const std::shared_ptr<event_sink>& sink) {
    if (stopped_) return;
    if (streams_.empty() && waiting_.empty()) {
        tick();
        // Nobody watched: what the server knows may be old, so read afresh.
        etag_.clear();
        watch_.watch(true);
    }
    if (etag_.empty())
        waiting_.push_back(sink);
    else {
        streams_.push_back(sink);
        sink->send(hello(etag_));
    }
}

void event_streams::leave(const event_sink* sink) {
    for (auto* list : {&streams_, &waiting_})
        list->erase(std::remove_if(list->begin(), list->end(),
                                   [sink](const std::weak_ptr<event_sink>& s) {
                                       const auto p = s.lock();
                                       return !p || p.get() == sink;
                                   }),
                    list->end());
    if (streams_.empty() && waiting_.empty()) {
        watch_.watch(false);
        timer_.cancel();
    }
}

void event_streams::post_change(const std::string& etag, const std::string& change) {
    boost::asio::post(loop_, [this, etag, change] { changed(etag, change); });
}

void event_streams::changed(const std::string& etag, const std::string& change) {
    if (stopped_) return;
    if (!change.empty() && !streams_.empty())
        send_all(std::make_shared<const std::string>("event: change\nid: " + etag.substr(1, etag.size() - 2) +
                                                     "\ndata: " + change + "\n\n"));
    etag_ = etag;
    const auto greeting = hello(etag_);
    const auto waiting = std::move(waiting_);
    waiting_.clear();
    for (const auto& w : waiting)
        if (const auto sink = w.lock()) {
            streams_.push_back(sink);
            sink->send(greeting);
        }
}

void event_streams::send_all(const std::shared_ptr<const std::string>& text) {
    // A sink may leave while it is sent to: go over a copy.
    const auto all = streams_;
    for (const auto& w : all)
        if (const auto sink = w.lock()) sink->send(text);
}

void event_streams::tick() {
    timer_.expires_after(keep_alive);
    timer_.async_wait([this](const boost::system::error_code& ec) {
        if (ec || stopped_) return;
        static const auto comment = std::make_shared<const std::string>(": keep-alive\n\n");
        send_all(comment);
        tick();
    });
}

void event_streams::stop() {
    stopped_ = true;
    timer_.cancel();
    streams_.clear();
    waiting_.clear();
    watch_.watch(false);
}

}  // namespace fbweb
