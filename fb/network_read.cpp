// SPDX-License-Identifier: MIT
// Reading the device's whole network into one value, and finding blocks,
// properties and ports in it.
#include <iostream>
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
// only the network.
class quiet_cout {
public:
    quiet_cout() : saved_(std::cout.rdbuf(&discard_)) {}
    ~quiet_cout() { std::cout.rdbuf(saved_); }
    quiet_cout(const quiet_cout&) = delete;
    quiet_cout& operator=(const quiet_cout&) = delete;

private:
    discarding_buffer discard_;
    std::streambuf* saved_;
};

// A port listing: the count, then that many port entries.
std::vector<port_entry> ports(fifo& reply) {
    const int count = reply.pop<int>();
    std::vector<port_entry> result;
    for (int i = 0; i < count; ++i) result.push_back(pop_port_entry(reply));
    return result;
}

std::set<std::string> factory_names(driver& session) {
    quiet_cout quiet;
    return session.list_factories();
}

std::set<std::string> block_names(driver& session, const std::string& factory) {
    quiet_cout quiet;
    return session.list_funcs(factory);
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

block_state read_block(driver& session, const std::string& block_name) {
    block_state b;
    b.name = block_name;
    // Each listing is read while the session stays locked, so that another
    // thread's exchange cannot replace the reply before it has been read.
    {
        const locked_reply properties = session.list_func_props(block_name, keep_lock);
        const int count = properties.reply().pop<int>();
        for (int i = 0; i < count; ++i) b.properties.push_back(pop_property_data(properties.reply()));
    }
    b.inputs = ports(session.list_func_inputs(block_name, keep_lock).reply());
    b.outputs = ports(session.list_func_outputs(block_name, keep_lock).reply());
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
