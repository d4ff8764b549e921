// SPDX-License-Identifier: MIT
#pragma once
// The open event streams and what they are sent: a hello with the current
// ETag, each change of the network, and a keep-alive comment. Lives on the
// event loop's thread; changes come in from any thread through post_change.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "network_watch.hpp"

namespace fbweb {

// Where an event stream's text goes: a connection.
class event_sink {
public:
    virtual ~event_sink() = default;
    virtual void send(const std::shared_ptr<const std::string>& text) = 0;
};

class event_streams {
public:
    event_streams(boost::asio::io_context& loop, network_watch& watch);

    // A new stream: it gets the hello once the network has been read.
    void join(const std::shared_ptr<event_sink>& sink);
    // A closed stream.
    void leave(const event_sink* sink);
    // From the walking thread: the network now has `etag`; `change` is the
    // change object, empty when there is none to send.
    void post_change(const std::string& etag, const std::string& change);
    // Ends the keep-alive timer and forgets every stream.
    void stop();

    std::size_t size() const { return streams_.size(); }

    // A comment at least this often keeps proxies and browsers from
    // thinking a quiet stream dead.
    static constexpr std::chrono::seconds keep_alive{10};

private:
    void changed(const std::string& etag, const std::string& change);
    void send_all(const std::shared_ptr<const std::string>& text);
    void tick();

    boost::asio::io_context& loop_;
    network_watch& watch_;
    boost::asio::steady_timer timer_;
    std::vector<std::weak_ptr<event_sink>> streams_;
    std::vector<std::weak_ptr<event_sink>> waiting_;  // joined before the first walk
    std::string etag_;
    bool stopped_ = false;
};

}  // namespace fbweb
