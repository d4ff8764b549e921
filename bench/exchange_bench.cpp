// SPDX-License-Identifier: MIT
// Whole exchanges of the session (tarn::fb::driver) with the emulator in
// this process, against the client's side of the same exchanges alone. The
// device is a handler of the interposer (emu/interposer.h): for whole
// exchanges its ioctl runs the emulator (fbemu::execute); for the client's
// side it answers every ioctl by making a reply recorded from the emulator
// unread again, so only the session's own work is timed: emptying the
// request region, pushing the code and the arguments, popping the status and
// the results.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>

#include "devices.hpp"
#include "registry.hpp"
#include "scratch_state.hpp"

namespace bench {

namespace {

using tarn::fb::driver;
using tarn::fb::detail::begin;
using tarn::fb::detail::pointer_to;
using tarn::fb::detail::region;
using tarn::fb::detail::write_cursor;

// The listing reports its count on standard output; it goes nowhere while
// an exchange is timed.
class quiet_stdout {
public:
    quiet_stdout() : saved_(std::cout.rdbuf(&nowhere_)) {}
    ~quiet_stdout() { std::cout.rdbuf(saved_); }
    quiet_stdout(const quiet_stdout&) = delete;
    quiet_stdout& operator=(const quiet_stdout&) = delete;

private:
    struct discard : std::streambuf {
        int overflow(int c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    };
    discard nowhere_;
    std::streambuf* saved_;
};

unsigned int created_ticket;

void list100(driver& d) {
    const auto names = d.list_factories();
    if (names.size() != 100) throw std::runtime_error("the catalog has not 100 factories");
}

void create(driver& d) {
    static const std::string factory("factory_042"), name("bench_block");
    created_ticket = d.create(factory, name);
}
void destroy_created(driver& d) { d.destroy(created_ticket); }

void value10(driver& d) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (int i = 0; i < 10; ++i) n.push_back("block_" + std::to_string(i) + ".gain");
        return n;
    }();
    std::vector<double> values;
    d.value(names, values);
    benchmark::DoNotOptimize(values);
}

struct exchange {
    const char* row;
    void (*run)(driver&);
    void (*undo)(driver&);  // what makes the next run possible, or nullptr
};
constexpr exchange exchanges[] = {
    {"list100", list100, nullptr},
    {"create", create, destroy_created},
    {"value10", value10, nullptr},
};

void full(benchmark::State& state, const exchange& x) {
    quiet_stdout quiet;
    interposer_install(emulated);
    driver& d = driver::instance();
    while (state.KeepRunning()) {
        x.run(d);
        if (x.undo) {
            state.PauseTiming();
            x.undo(d);
            state.ResumeTiming();
        }
    }
}

void client_side(benchmark::State& state, const exchange& x) {
    quiet_stdout quiet;
    interposer_install(emulated);
    driver& d = driver::instance();
    x.run(d);
    // Undoing the exchange replaces the reply, which is put back after it.
    region r(static_cast<unsigned char*>(d.shm) + tarn::fb::reply_offset);
    const std::vector<unsigned char> recorded(pointer_to(r.word(begin)), pointer_to(r.word(write_cursor)));
    if (x.undo) x.undo(d);
    r.clear();
    std::memcpy(pointer_to(r.word(begin)), recorded.data(), recorded.size());
    r.add(write_cursor, static_cast<std::uint32_t>(recorded.size()));

    interposer_install(replayed);
    while (state.KeepRunning()) x.run(d);
    interposer_install(emulated);
}

}  // namespace

std::vector<std::string> exchange_rows() {
    std::vector<std::string> rows;
    for (const exchange& x : exchanges) rows.emplace_back(x.row);
    return rows;
}

void register_exchanges() {
    // The emulated device starts from the 100-factory catalog.
    static const fbemu::scratch_state files(PATCHBAY_BENCH_CATALOG);
    for (const exchange& x : exchanges) {
        benchmark::RegisterBenchmark(benchmark_name("exchange", "full", x.row).c_str(), [&x](benchmark::State& s) {
            full(s, x);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(benchmark_name("exchange", "client", x.row).c_str(), [&x](benchmark::State& s) {
            client_side(s, x);
        })->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace bench
