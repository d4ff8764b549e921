// SPDX-License-Identifier: MIT
// Reading the device's listings for the module: entries under the session's
// held lock, name lists with standard output kept quiet.
#include "listings.hpp"

#include <iostream>
#include <mutex>
#include <streambuf>

namespace tarnfb {

namespace {

using tarn::fb::driver;
using tarn::fb::fifo;

// A query of the session that leaves its entries in the reply region, handing
// over the session's lock with them.
using locked_query = tarn::fb::locked_reply (driver::*)(const std::string&, tarn::fb::keep_lock_t);

// The count, then that many entries, read before the lock is let go.
template <class Entry>
std::vector<Entry> read_locked(driver& session, locked_query query, const std::string& block,
                               Entry (*pop_entry)(fifo&)) {
    const tarn::fb::locked_reply held = (session.*query)(block, tarn::fb::keep_lock);
    fifo& reply = held.reply();
    const int count = reply.pop<int>();
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) entries.push_back(pop_entry(reply));
    return entries;
}

class discarding_buffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While it lives, std::cout writes nowhere: the session's name lists report
// their count there. One at a time, so that threads swapping the stream's
// buffer never restore each other's.
class quiet_cout {
public:
    quiet_cout() : lock_(mutex()), saved_(std::cout.rdbuf(&discard_)) {}
    ~quiet_cout() { std::cout.rdbuf(saved_); }
    quiet_cout(const quiet_cout&) = delete;
    quiet_cout& operator=(const quiet_cout&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    std::lock_guard<std::mutex> lock_;
    discarding_buffer discard_;
    std::streambuf* saved_;
};

}  // namespace

std::vector<tarn::fb::property_data> read_properties(driver& session, const std::string& block) {
    return read_locked(session, &driver::list_func_props, block, &tarn::fb::pop_property_data);
}

std::vector<tarn::fb::port_entry> read_inputs(driver& session, const std::string& block) {
    return read_locked(session, &driver::list_func_inputs, block, &tarn::fb::pop_port_entry);
}

std::vector<tarn::fb::port_entry> read_outputs(driver& session, const std::string& block) {
    return read_locked(session, &driver::list_func_outputs, block, &tarn::fb::pop_port_entry);
}

std::set<std::string> factory_names(driver& session) {
    quiet_cout quiet;
    return session.list_factories();
}

std::set<std::string> block_names(driver& session, const std::string& factory) {
    quiet_cout quiet;
    return session.list_funcs(factory);
}

tarn::fb::network whole_network(driver& session) {
    quiet_cout quiet;
    return tarn::fb::read_network(session);
}

}  // namespace tarnfb
