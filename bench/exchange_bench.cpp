// Whole exchanges through the in-process emulator (fbemu::execute on a
// private window), against the client's side of the same exchanges alone:
// the client pushes the request and pops a reply recorded from the emulator,
// which is put back in place (cursors rewound) instead of being executed
// again. The client steps are those of driver::list_factories, create and
// value(names, values): empty the request region, push the command code and
// the arguments, execute, pop the status and the results.
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "executor.hpp"
#include "registry.hpp"
#include "window.hpp"

namespace bench {

namespace {

using tarn::fb::fifo;
using tarn::fb::detail::begin;
using tarn::fb::detail::pop_count;
using tarn::fb::detail::read_cursor;
using tarn::fb::detail::region;
using tarn::fb::detail::write_cursor;

constexpr unsigned long int_command = 1;

void pop_status(fifo& f) {
    if (f.pop<int>() != 0) throw std::runtime_error("the emulator answered with a failure status");
}

void list_request(fifo& f) { f.push<int>(16); }
void list_reply(fifo& f) {
    pop_status(f);
    const int count = f.pop<int>();
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) names.insert(f.pop<std::string>());
    if (names.size() != 100) throw std::runtime_error("the catalog has not 100 factories");
    benchmark::DoNotOptimize(names);
}

void create_request(fifo& f) {
    static const std::string factory("factory_042"), name("bench_block");
    f.push<int>(3);
    f.push(factory);
    f.push(name);
}
unsigned int created_ticket;
void create_reply(fifo& f) {
    pop_status(f);
    created_ticket = f.pop<unsigned int>();
}

const std::vector<std::string>& value_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (int i = 0; i < 10; ++i) n.push_back("block_" + std::to_string(i) + ".gain");
        return n;
    }();
    return names;
}
void value_request(fifo& f) {
    f.push<int>(10);
    for (const std::string& n : value_names()) f.push(n);
}
void value_reply(fifo& f) {
    pop_status(f);
    std::vector<double> values;
    values.reserve(value_names().size());
    for (std::size_t i = 0; i < value_names().size(); ++i) values.push_back(f.pop_as_double());
    benchmark::DoNotOptimize(values);
}

// Removes the block that create made, so that the next create succeeds.
void destroy_created(window& w) {
    w.request().clear();
    w.client.push<int>(4);
    w.client.push<unsigned int>(created_ticket);
    fbemu::execute(w.base, int_command);
    pop_status(w.client);
}

struct exchange {
    const char* row;
    void (*request)(fifo&);
    void (*reply)(fifo&);
    bool creates;  // its block has to be removed after each run
};
constexpr exchange exchanges[] = {
    {"list100", list_request, list_reply, false},
    {"create", create_request, create_reply, true},
    {"value10", value_request, value_reply, false},
};

void run_once(window& w, const exchange& x) {
    w.request().clear();
    x.request(w.client);
    if (fbemu::execute(w.base, int_command) != 0) throw std::runtime_error("fbemu::execute failed");
    x.reply(w.client);
}

void full(benchmark::State& state, const exchange& x) {
    window w;
    for (auto _ : state) {
        run_once(w, x);
        if (x.creates) {
            state.PauseTiming();
            destroy_created(w);
            state.ResumeTiming();
        }
    }
}

void client_side(benchmark::State& state, const exchange& x) {
    window w;
    // Record one real reply; an exchange that creates a block undoes it,
    // which overwrites the reply region, so the reply is put back after.
    run_once(w, x);
    region r = w.reply();
    const unsigned char* reply_begin = tarn::fb::detail::pointer_to(r.word(begin));
    const unsigned char* reply_end = tarn::fb::detail::pointer_to(r.word(write_cursor));
    const std::vector<unsigned char> recorded(reply_begin, reply_end);
    if (x.creates) destroy_created(w);
    r.clear();
    std::memcpy(tarn::fb::detail::pointer_to(r.word(begin)), recorded.data(), recorded.size());
    r.add(write_cursor, static_cast<std::uint32_t>(recorded.size()));

    for (auto _ : state) {
        w.request().clear();
        x.request(w.client);
        r.set(pop_count, 0);
        r.set(read_cursor, r.word(begin));
        x.reply(w.client);
    }
}

// The emulated device starts from the 100-factory catalog with a state file
// of its own in a fresh directory, removed at exit.
class device_files {
public:
    device_files() {
        char dir[] = "/tmp/patchbay-bench-XXXXXX";
        if (::mkdtemp(dir) == nullptr) throw std::runtime_error("cannot create a state directory");
        dir_ = dir;
        ::setenv("FBEMU_STATE", (dir_ + "/state.json").c_str(), 1);
        ::setenv("FBEMU_CATALOG", PATCHBAY_BENCH_CATALOG, 1);
        ::unsetenv("FBEMU_FAULT");
    }
    ~device_files() {
        std::remove((dir_ + "/state.json").c_str());
        std::remove((dir_ + "/state.json.lock").c_str());
        ::rmdir(dir_.c_str());
    }

private:
    std::string dir_;
};

}  // namespace

std::vector<std::string> exchange_rows() {
    std::vector<std::string> rows;
    for (const exchange& x : exchanges) rows.emplace_back(x.row);
    return rows;
}

void register_exchanges() {
    static device_files files;
    for (const exchange& x : exchanges) {
        benchmark::RegisterBenchmark(benchmark_name("exchange", "full", x.row).c_str(),
                                     [&x](benchmark::State& s) { full(s, x); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(benchmark_name("exchange", "client", x.row).c_str(),
                                     [&x](benchmark::State& s) { client_side(s, x); })
            ->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace bench
