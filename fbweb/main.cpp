// SPDX-License-Identifier: MIT
// fbweb: serves the device's function-block network as a page and a JSON API.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <tool.hpp>

#include "access.hpp"
#include "body_budget.hpp"
#include "device_api.hpp"
#include "metrics.hpp"
#include "options.hpp"
#include "routes.hpp"

namespace {

constexpr int stopped = 0;  // the exit status after a stop signal

// One line of standard output, whole, whichever thread writes it.
void say(const std::string& line) {
    const std::string whole = line + "\n";
    std::fwrite(whole.data(), 1, whole.size(), stdout);
    std::fflush(stdout);
}

std::string url_host(const std::string& host) { return host.find(':') != std::string::npos ? "[" + host + "]" : host; }

void configure(httplib::Server& server, const fbweb::options& o) {
    const int threads = o.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    // A client that stalls holds one thread for a few seconds at most.
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(2);
    server.set_payload_max_length(fbweb::max_body_bytes);
    server.set_default_headers(
        {{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "no-referrer"}, {"X-Frame-Options", "DENY"}});
    if (o.log) {
        // The path only: a query may carry the token.
        server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            say(req.remote_addr + " " + req.method + " " + req.path + " " + std::to_string(res.status));
        });
    }
}

int serve(const fbweb::options& o) {
    std::string token;
    if (!o.token_file.empty()) token = fbweb::read_token_file(o.token_file);
    if (token.empty() && !o.read_only && !fbweb::is_loopback(o.host))
        throw std::runtime_error("refusing to let anyone on the network change the device: listen on " + o.host +
                                 " only with --token-file or --read-only");

    // SIGINT and SIGTERM are taken by one thread that stops the server; every
    // other thread inherits the blocked mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    fbweb::device_api api;
    api.open_session();
    httplib::Server server;
    configure(server, o);
    std::string scrape_token;
    if (!o.metrics_token_file.empty()) scrape_token = fbweb::read_token_file(o.metrics_token_file);
    std::optional<tarn::fb::wanted_network> match;
    if (!o.match_file.empty()) match = fbweb::read_match_document(o.match_file);
    const fbweb::access_rules rules{token, o.read_only, token.empty() && fbweb::is_loopback(o.host), scrape_token};
    fbweb::add_api_routes(server, api, rules);
    fbweb::add_metrics_route(server, api, rules, match ? &*match : nullptr);
    fbweb::add_page_routes(server, o.assets_dir);

    int port = o.port;
    if (port == 0)
        port = server.bind_to_any_port(o.host);
    else if (!server.bind_to_port(o.host, port))
        port = -1;
    if (port < 0) throw std::runtime_error("cannot listen on " + url_host(o.host) + ":" + std::to_string(o.port));

    const std::string base = "http://" + url_host(o.host) + ":" + std::to_string(port) + "/";
    say("fbweb: listening on " + base);
    // The token goes to a terminal only: a log (the journal under a unit) is
    // readable by more people than the token file.
    if (!token.empty()) {
        if (isatty(STDOUT_FILENO) == 1)
            say("fbweb: open " + base + "?token=" + token);
        else
            say("fbweb: open " + base + "?token=TOKEN with the token in " + o.token_file);
    }

    std::atomic<bool> ended{false};
    std::thread stopper([&server, &stop_signals, &ended] {
        // Looks for a stop signal every tenth of a second until the server ends.
        const timespec tick{0, 100 * 1000 * 1000};
        while (!ended) {
            if (sigtimedwait(&stop_signals, nullptr, &tick) < 0) continue;
            // A signal that comes before the server runs would stop nothing.
            while (!server.is_running() && !ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            server.stop();
            return;
        }
    });
    const bool clean = server.listen_after_bind();
    ended = true;
    stopper.join();
    if (!clean) throw std::runtime_error("the server stopped on an error");
    say("fbweb: stopped");
    return stopped;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::tool self{"fbweb", FBWEB_VERSION, fbweb::help_text, cli::failed};
    return cli::run_tool(self, argc, argv, fbweb::parse_options, serve);
}
