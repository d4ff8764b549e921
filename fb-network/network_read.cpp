// SPDX-License-Identifier: MIT
// Reading the device's whole network into one value, and finding blocks,
// properties and ports in it.
#include <iostream>
#include <mutex>
#include <streambuf>

#include <tarn/fb/network.hpp>

namespace tarn {
namespace fb {

namespace {

// A stream buffer that drops everything written to it.
class discarding_buffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While it lives, what is written to std::cout goes nowhere: the session's
// name lists report their count there, and a reader of the network wants
// only the network. One at a time, so that threads swapping the stream's
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

// A query that leaves its entries in the reply region and hands over the
// session's lock with them.
using locked_query = locked_reply (driver::*)(const std::string&, keep_lock_t);

// The count, then that many entries, read before the lock is let go.
template <class Entry>
std::vector<Entry> read_locked(driver& session, locked_query query, const std::string& block,
                               Entry (*pop_entry)(fifo&)) {
    const locked_reply held = (session.*query)(block, keep_lock);
    const int count = held.reply().pop<int>();
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) entries.push_back(pop_entry(held.reply()));
    return entries;
}

template <class T>
const T* named(const std::vector<T>& items, const std::string& name) {
    for (const T& item : items)
        if (item.name == name) return &item;
    return nullptr;
}

}  // namespace

const property_data* block_state::property(const std::string& property_name) const {
    return named(properties, property_name);
}
const port_entry* block_state::input(const std::string& port_name) const { return named(inputs, port_name); }
const port_entry* block_state::output(const std::string& port_name) const { return named(outputs, port_name); }

const block_state* network::block(const std::string& block_name, const factory_state** factory) const {
    for (const factory_state& f : factories) {
        if (const block_state* b = named(f.blocks, block_name)) {
            if (factory != nullptr) *factory = &f;
            return b;
        }
    }
    return nullptr;
}

const factory_state* network::factory(const std::string& factory_name) const { return named(factories, factory_name); }

std::set<std::string> factory_names(driver& session) {
    quiet_cout quiet;
    return session.list_factories();
}

std::set<std::string> block_names(driver& session, const std::string& factory) {
    quiet_cout quiet;
    return session.list_funcs(factory);
}

std::vector<property_data> read_properties(driver& session, const std::string& block_name) {
    return read_locked(session, &driver::list_func_props, block_name, &pop_property_data);
}

std::vector<port_entry> read_inputs(driver& session, const std::string& block_name) {
    return read_locked(session, &driver::list_func_inputs, block_name, &pop_port_entry);
}

std::vector<port_entry> read_outputs(driver& session, const std::string& block_name) {
    return read_locked(session, &driver::list_func_outputs, block_name, &pop_port_entry);
}

block_state read_block(driver& session, const std::string& block_name) {
    block_state b;
    b.name = block_name;
    b.properties = read_properties(session, block_name);
    b.inputs = read_inputs(session, block_name);
    b.outputs = read_outputs(session, block_name);
    return b;
}

network read_network(driver& session, const std::set<std::string>& only) {
    network net;
    for (const std::string& factory : only.empty() ? factory_names(session) : only) {
        factory_state f;
        f.name = factory;
        for (const std::string& block : block_names(session, factory)) f.blocks.push_back(read_block(session, block));
        net.factories.push_back(std::move(f));
    }
    return net;
}

}  // namespace fb
}  // namespace tarn
