// SPDX-License-Identifier: MIT
// Connections on the event loop, read and written with Beast.
#include "http_server.hpp"

#include <deque>
#include <optional>

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "routes.hpp"

namespace fbweb {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr std::size_t header_size = 16 * 1024;       // request line and headers
constexpr std::chrono::seconds write_time{60};       // to take a whole response
constexpr std::size_t stream_backlog = 1024 * 1024;  // event text a stream may fall behind by
// After a refusal, what the client still sends (a body refused by its length)
// is read and dropped for a while, so that the client gets to read the
// refusal instead of a reset connection.
constexpr std::chrono::seconds linger_time{2};
constexpr std::size_t linger_bytes = 16 * 1024 * 1024;
constexpr std::chrono::milliseconds accept_pause{100};  // after an accept fails for want of resources

const std::pair<const char*, const char*> common_headers[] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"X-Frame-Options", "DENY"},
};

}  // namespace

// One connection: reads requests one after another, hands each to a worker,
// writes its response; or, once it is an event stream, writes events.
class http_server::session : public event_sink, public std::enable_shared_from_this<session> {
public:
    session(http_server& server, tcp::socket socket, std::string address)
        : server_(server), stream_(std::move(socket)), address_(std::move(address)) {}

    ~session() override {
        release_share();
        server_.sessions_.erase(this);
        --server_.open_;
    }

    // The connection no longer counts against its address: it is closing,
    // or writing its last response (whose client may connect again as soon
    // as it has read it).
    void release_share() {
        if (released_) return;
        released_ = true;
        auto it = server_.per_address_.find(address_);
        if (it != server_.per_address_.end() && --it->second == 0) server_.per_address_.erase(it);
    }

    void read_request() {
        parser_.emplace();
        parser_->header_limit(header_size);
        parser_->body_limit(server_.limits_.body_size);
        stream_.expires_after(server_.limits_.header_time);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->headers_read(ec); });
    }

    void send(const std::shared_ptr<const std::string>& text) override {
        if (closed_) return;
        if (queued_ + text->size() > stream_backlog) {
            close();  // a reader that does not keep up
            return;
        }
        queued_ += text->size();
        queue_.push_back(text);
        if (queue_.size() == 1) write_queued();
    }

    void close() {
        if (closed_) return;
        closed_ = true;
        release_share();
        if (streaming_) server_.streams_.leave(this);
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

private:
    void headers_read(beast::error_code ec) {
        if (ec == http::error::header_limit) return refuse(431);
        if (ec == http::error::body_limit) return refuse(413);  // its Content-Length says so
        if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == net::error::operation_aborted ||
            ec == net::error::connection_reset || ec == net::error::eof)
            return close();
        if (ec) return refuse(400);
        if (parser_->is_done()) return dispatch();
        if (beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
            static const std::string go_on = "HTTP/1.1 100 Continue\r\n\r\n";
            net::async_write(stream_, net::buffer(go_on),
                             [self = shared_from_this()](beast::error_code e, std::size_t) {
                                 if (e) return self->close();
                                 self->read_body();
                             });
            return;
        }
        read_body();
    }

    void read_body() {
        stream_.expires_after(server_.limits_.header_time);
        http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec == http::error::body_limit) return self->refuse(413);
            if (ec) return self->close();
            self->dispatch();
        });
    }

    // The request to a worker, its response back to the loop.
    void dispatch() {
        stream_.expires_never();
        http::request<http::string_body> message = parser_->release();
        parser_.reset();
        request req;
        if (!read_target(std::string(message.target()), req)) return refuse(400);
        req.method = std::string(message.method_string());
        for (const auto& field : message) req.headers.emplace_back(field.name_string(), field.value());
        req.body = std::move(message.body());
        req.remote_address = address_;
        const exchange_info info{message.version(), message.keep_alive(), message.method() == http::verb::head,
                                 req.method + " " + req.path};
        // The worker hands its reference back with the response, so the
        // session always ends on the loop's thread.
        net::post(server_.workers_, [self = shared_from_this(), req = std::move(req), info]() mutable {
            response res = self->server_.handle_(req);
            const auto loop = self->stream_.get_executor();
            net::post(loop, [self = std::move(self), res = std::move(res), info]() mutable {
                self->respond(std::move(res), info);
            });
        });
    }

    struct exchange_info {
        unsigned version;
        bool keep_alive;
        bool head;
        std::string what;  // "METHOD /path" for the log
    };

    template <class Message>
    static void set_headers(Message& m, const response& res) {
        for (const auto& [name, value] : common_headers) m.set(name, value);
        for (const auto& [name, value] : res.headers) m.set(name, value);
        if (!res.content_type.empty()) m.set(http::field::content_type, res.content_type);
    }

    void respond(response res, const exchange_info& info) {
        if (closed_) return;
        if (server_.log_) server_.log_(address_ + " " + info.what + " " + std::to_string(res.status));
        if (res.event_stream && res.status == 200) return open_stream(res, info);
        auto out =
            std::make_shared<http::response<http::string_body>>(static_cast<http::status>(res.status), info.version);
        set_headers(*out, res);
        out->keep_alive(info.keep_alive);
        out->body() = std::move(res.body);
        out->prepare_payload();
        if (info.head) out->body().clear();
        write(out, info.keep_alive);
    }

    // A refusal the transport gives, after which the connection closes.
    void refuse(int status) {
        parser_.reset();
        response res = refusal(status);
        auto out = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(status), 11);
        set_headers(*out, res);
        out->keep_alive(false);
        out->body() = std::move(res.body);
        out->prepare_payload();
        release_share();
        stream_.expires_after(write_time);
        http::async_write(stream_, *out, [self = shared_from_this(), out](beast::error_code ec, std::size_t) {
            if (ec) return self->close();
            beast::error_code ignored;
            self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
            self->stream_.expires_after(linger_time);
            self->linger();
        });
    }

    // Reads and drops what the client sends until it stops, or for
    // linger_time or linger_bytes, then closes.
    void linger() {
        static char dropped[4096];  // the loop's thread alone reads into it
        stream_.async_read_some(net::buffer(dropped), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
            self->lingered_ += n;
            if (ec || self->lingered_ > linger_bytes) return self->close();
            self->linger();
        });
    }

    template <class Message>
    void write(const std::shared_ptr<Message>& out, bool keep_alive) {
        if (!keep_alive) release_share();
        stream_.expires_after(write_time);
        http::async_write(stream_, *out,
                          [self = shared_from_this(), out, keep_alive](beast::error_code ec, std::size_t) {
                              if (ec || !keep_alive) return self->close();
                              self->read_request();
                          });
    }

    // The headers of the event stream; what follows is read until the connection closes.
    void open_stream(const response& res, const exchange_info& info) {
        auto out = std::make_shared<http::response<http::empty_body>>(http::status::ok, info.version);
        set_headers(*out, res);
        out->set(http::field::cache_control, "no-cache");
        out->keep_alive(false);
        stream_.expires_never();
        http::async_write(stream_, *out, [self = shared_from_this(), out](beast::error_code ec, std::size_t) {
            if (ec) return self->close();
            self->streaming_ = true;
            self->server_.streams_.join(self);
            self->watch_for_close();
        });
    }

    // The client sends nothing on an event stream: whatever arrives, or its
    // end, closes it.
    void watch_for_close() {
        stream_.async_read_some(net::buffer(&probe_, 1),
                                [self = shared_from_this()](beast::error_code, std::size_t) { self->close(); });
    }

    void write_queued() {
        net::async_write(stream_, net::buffer(*queue_.front()),
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             self->queued_ -= self->queue_.front()->size();
                             self->queue_.pop_front();
                             if (ec) return self->close();
                             if (!self->queue_.empty()) self->write_queued();
                         });
    }

    http_server& server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_{1024};
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string address_;
    std::deque<std::shared_ptr<const std::string>> queue_;  // event text not yet written
    std::size_t queued_ = 0;
    bool streaming_ = false;
    bool closed_ = false;
    bool released_ = false;  // see release_share
    char probe_ = 0;
    std::size_t lingered_ = 0;  // bytes dropped after a refusal
};

http_server::http_server(net::io_context& loop, const tcp::endpoint& where, server_limits limits, handler handle,
                         net::thread_pool& workers, event_streams& streams, logger log)
    : loop_(loop),
      acceptor_(loop),
      backoff_(loop),
      limits_(limits),
      handle_(std::move(handle)),
      workers_(workers),
      streams_(streams),
      log_(std::move(log)) {
    acceptor_.open(where.protocol());
    acceptor_.set_option(net::socket_base::reuse_address(true));
    acceptor_.bind(where);
    acceptor_.listen(limits_.listen_queue);
}

http_server::~http_server() {
    try {
        stop();
    } catch (...) {
        // Closing cannot fail in a way that matters once the server goes.
    }
}

unsigned short http_server::port() const { return acceptor_.local_endpoint().port(); }

void http_server::start() { accept(); }

void http_server::accept() {
    acceptor_.async_accept(loop_, [this](beast::error_code ec, tcp::socket socket) {
        if (stopped_ || ec == net::error::operation_aborted) return;
        if (!ec) {
            accepted(std::move(socket));
        } else if (ec != net::error::connection_aborted) {
            // Out of descriptors or memory: the connection waits in the queue
            // while the loop serves the others and frees some.
            backoff_.expires_after(accept_pause);
            backoff_.async_wait([this](beast::error_code e) {
                if (!e && !stopped_) accept();
            });
            return;
        }
        accept();
    });
}

void http_server::accepted(tcp::socket socket) {
    beast::error_code ec;
    const auto peer = socket.remote_endpoint(ec);
    if (ec) return;
    std::string address = peer.address().to_string();
    int& count = per_address_[address];
    if (count >= limits_.per_address) {
        socket.close(ec);  // this client's share is taken
        return;
    }
    socket.set_option(tcp::no_delay(true), ec);
    ++count;
    ++open_;
    auto s = std::make_shared<session>(*this, std::move(socket), std::move(address));
    sessions_.emplace(s.get(), s);
    s->read_request();
}

void http_server::stop() {
    if (stopped_) return;
    stopped_ = true;
    beast::error_code ignored;
    acceptor_.close(ignored);
    backoff_.cancel();
    const auto all = sessions_;
    for (const auto& [raw, weak] : all)
        if (const auto s = weak.lock()) s->close();
}

}  // namespace fbweb
