// SPDX-License-Identifier: MIT
#pragma once
// The HTTP transport: every connection multiplexed on one event loop, with a
// deadline for a request's headers, a cap on connections per client address
// and a bound on bodies. Requests are handled on worker threads; a response
// that is an event stream stays open and gets the events.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>

#include "event_streams.hpp"
#include "exchange.hpp"

namespace fbweb {

struct server_limits {
    std::chrono::seconds header_time{10};      // to send a request's headers, and its body after them
    int per_address = 16;                      // connections open at once from one client address
    std::size_t body_size = 16 * 1024 * 1024;  // larger bodies get 413
    int listen_queue = 128;                    // connections waiting to be accepted
};

class http_server {
public:
    using handler = std::function<response(const request&)>;
    // A line for the request log, or null for none.
    using logger = std::function<void(const std::string&)>;

    // Listens on `where`; throws boost::system::system_error when it cannot.
    http_server(boost::asio::io_context& loop, const boost::asio::ip::tcp::endpoint& where, server_limits limits,
                handler handle, boost::asio::thread_pool& workers, event_streams& streams, logger log);
    ~http_server();

    unsigned short port() const;
    // Starts accepting connections.
    void start();
    // Stops accepting and closes every connection.
    void stop();

    // Counts for tests and the log: connections open, and per address.
    std::size_t connections() const { return open_; }

    class session;

private:
    void accept();
    void accepted(boost::asio::ip::tcp::socket socket);

    friend class session;
    boost::asio::io_context& loop_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer backoff_;
    server_limits limits_;
    handler handle_;
    boost::asio::thread_pool& workers_;
    event_streams& streams_;
    logger log_;
    std::unordered_map<std::string, int> per_address_;
    std::unordered_map<session*, std::weak_ptr<session>> sessions_;
    std::size_t open_ = 0;
    bool stopped_ = false;
};

}  // namespace fbweb
