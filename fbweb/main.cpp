// SPDX-License-Identifier: MIT
// fbweb: serves the device's function-block network as a page and a JSON API.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/thread_pool.hpp>
#include <tarn/fb/driver.hpp>
#include <tool.hpp>

#include "access.hpp"
#include "body_budget.hpp"
#include "device_api.hpp"
#include "event_streams.hpp"
#include "http_server.hpp"
#include "metrics.hpp"
#include "network_watch.hpp"
#include "options.hpp"
#include "routes.hpp"

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr int stopped = 0;  // the exit status after a stop signal

// One line of standard output, whole, whichever thread writes it.
void say(const std::string& line) {
    const std::string whole = line + "\n";
    std::fwrite(whole.data(), 1, whole.size(), stdout);
    std::fflush(stdout);
}

std::string url_host(const std::string& host) { return host.find(':') != std::string::npos ? "[" + host + "]" : host; }

// As many descriptors as the system lets this process have: each connection takes one.
void raise_descriptor_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

tcp::endpoint listening_address(net::io_context& loop, const fbweb::options& o) {
    boost::system::error_code ec;
    tcp::resolver resolver(loop);
    const auto found = resolver.resolve(o.host, std::to_string(o.port), tcp::resolver::passive, ec);
    if (ec || found.empty())
        throw std::runtime_error("cannot listen on " + url_host(o.host) + ":" + std::to_string(o.port) + ": " +
                                 (ec ? ec.message() : "no address"));
    return found.begin()->endpoint();
}

int serve(const fbweb::options& o) {
    std::string token;
    if (!o.token_file.empty()) token = fbweb::read_token_file(o.token_file);
    if (token.empty() && !o.read_only && !fbweb::is_loopback(o.host))
        throw std::runtime_error("refusing to let anyone on the network change the device: listen on " + o.host +
                                 " only with --token-file or --read-only");
    signal(SIGPIPE, SIG_IGN);
    raise_descriptor_limit();
    std::string scrape_token;
    if (!o.metrics_token_file.empty()) scrape_token = fbweb::read_token_file(o.metrics_token_file);
    std::optional<tarn::fb::wanted_network> match;
    if (!o.match_file.empty()) match = fbweb::read_match_document(o.match_file);

    // The stop signals go to the loop's thread only: a worker in the middle
    // of a device exchange is not interrupted.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    net::io_context loop(1);
    net::signal_set signals(loop, SIGINT, SIGTERM);
    fbweb::device_api api;
    // The device's descriptor is taken before clients can take them all, and
    // a device this process may not use stops it now with the cause; a device
    // missing now is tried again at each request.
    api.open_session();
    fbweb::event_streams* streams_of_watch = nullptr;  // set before any walk
    fbweb::network_watch watch(api, [&streams_of_watch](const std::string& etag, const std::string& change) {
        streams_of_watch->post_change(etag, change);
    });
    net::thread_pool workers(static_cast<std::size_t>(o.threads));
    pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);

    fbweb::event_streams streams(loop, watch);
    streams_of_watch = &streams;
    const fbweb::router routes(api, watch,
                               {token, o.read_only, token.empty() && fbweb::is_loopback(o.host), scrape_token},
                               o.assets_dir, match ? &*match : nullptr);
    fbweb::server_limits limits;
    limits.body_size = fbweb::max_body_bytes;
    limits.header_time = std::chrono::seconds(o.header_timeout);
    limits.per_address = o.per_client;
    fbweb::http_server::logger log;
    if (o.log) log = say;  // the path only: a query may carry the token
    std::unique_ptr<fbweb::http_server> server;
    try {
        server = std::make_unique<fbweb::http_server>(
            loop, listening_address(loop, o), limits,
            [&routes](const fbweb::request& req) { return routes.handle(req); }, workers, streams, log);
    } catch (const boost::system::system_error& e) {
        throw std::runtime_error("cannot listen on " + url_host(o.host) + ":" + std::to_string(o.port) + ": " +
                                 e.code().message());
    }

    const std::string base = "http://" + url_host(o.host) + ":" + std::to_string(server->port()) + "/";
    say("fbweb: listening on " + base);
    // The token goes to a terminal only: a log (the journal under a unit) is
    // readable by more people than the token file.
    if (!token.empty()) {
        if (isatty(STDOUT_FILENO) == 1)
            say("fbweb: open " + base + "?token=" + token);
        else
            say("fbweb: open " + base + "?token=TOKEN with the token in " + o.token_file);
    }

    signals.async_wait([&](const boost::system::error_code& ec, int) {
        if (ec) return;
        server->stop();
        streams.stop();
    });
    server->start();
    loop.run();
    // What the workers were still doing comes back to the loop, which ends it.
    workers.join();
    watch.stop();
    loop.restart();
    loop.run();
    server.reset();
    say("fbweb: stopped");
    return stopped;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::tool self{"fbweb", FBWEB_VERSION, fbweb::help_text, cli::failed};
    return cli::run_tool(self, argc, argv, fbweb::parse_options, serve);
}
