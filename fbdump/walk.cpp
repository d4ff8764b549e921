// SPDX-License-Identifier: MIT
#include "walk.hpp"

#include <iostream>
#include <streambuf>

namespace fbdump {

namespace {

using tarn::fb::fifo;

// A stream buffer that drops everything written to it.
class discarding_buffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While it lives, what is written to std::cout goes nowhere: the session's
// name lists report their count there, and fbdump's standard output is for
// the document alone.
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

std::set<std::string> factories(tarn::fb::driver& device) {
    quiet_cout quiet;
    return device.list_factories();
}

std::set<std::string> blocks(tarn::fb::driver& device, const std::string& factory) {
    quiet_cout quiet;
    return device.list_funcs(factory);
}

// A port listing: the count, then that many port entries.
std::vector<tarn::fb::port_entry> ports(fifo& reply) {
    const int count = reply.pop<int>();
    std::vector<tarn::fb::port_entry> result;
    for (int i = 0; i < count; ++i) result.push_back(tarn::fb::pop_port_entry(reply));
    return result;
}

block_dump read_block(tarn::fb::driver& device, const std::string& name) {
    block_dump b;
    b.name = name;
    fifo& properties = device.list_func_props(name);
    const int count = properties.pop<int>();
    for (int i = 0; i < count; ++i) b.properties.push_back(tarn::fb::pop_property_data(properties));
    b.inputs = ports(device.list_func_inputs(name));
    b.outputs = ports(device.list_func_outputs(name));
    return b;
}

}  // namespace

network_dump walk(tarn::fb::driver& device, const std::set<std::string>& only) {
    network_dump net;
    for (const std::string& factory : only.empty() ? factories(device) : only) {
        factory_dump f;
        f.name = factory;
        for (const std::string& block : blocks(device, factory)) f.blocks.push_back(read_block(device, block));
        net.push_back(std::move(f));
    }
    return net;
}

}  // namespace fbdump
