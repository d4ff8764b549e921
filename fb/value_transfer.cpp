// SPDX-License-Identifier: MIT
// Data between the client and the blocks: the bulk and the single-property
// writes and the value reads, as a number, as text, or many at once as
// numbers.
#include <stdexcept>

#include <tarn/fb/property_write.hpp>

#include "exchange.hpp"

namespace tarn {
namespace fb {

namespace {

// Stands in for every value of a multi-value read that cannot be read as a
// number.
constexpr double unreadable_value = 3e20;

// One name and one value; a device failure names the block and the property.
template <class T>
void write_one(driver& session, const std::string& block, const std::string& property, T value) {
    std::lock_guard<std::mutex> lock(session.mutex);
    detail::start_request(session, protocol::write_func_prop);
    session.fifo->push(block);
    session.fifo->push(property);
    session.fifo->push<T>(value);
    try {
        session.ioctl_with_int_cmd(protocol::write_func_prop.name);
    } catch (const driver::error& e) {
        const std::string message = std::string(e.what()) + " (" + block + "." + property + ")";
        throw driver::error(e.code, message.c_str());
    }
}

}  // namespace

void write_func_prop(driver& session, const std::string& block, const std::string& property, int value) {
    write_one(session, block, property, value);
}

void write_func_prop(driver& session, const std::string& block, const std::string& property, unsigned int value) {
    write_one(session, block, property, value);
}

void write_func_prop(driver& session, const std::string& block, const std::string& property, float value) {
    write_one(session, block, property, value);
}

void driver::write_func_props(const std::string& block, const std::list<property>& props) {
    std::lock_guard<std::mutex> lock(mutex);
    detail::start_request(*this, protocol::write_func_props);
    fifo->push(block);
    for (const property& p : props) {
        boost::apply_visitor(
            [this](const auto& named) {
                fifo->push(named.first);
                fifo->push(named.second);
            },
            p);
    }
    ioctl_with_int_cmd(protocol::write_func_props.name);
}

double driver::value(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    detail::send<protocol::value>(*this, name);
    return fifo->pop_as_double();
}

std::string driver::value_str(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    detail::send<protocol::value>(*this, name);
    return fifo->pop_as_string();
}

void driver::value(const std::vector<std::string>& names, std::vector<double>& values) {
    std::lock_guard<std::mutex> lock(mutex);
    detail::start_request(*this, protocol::value);
    for (const std::string& n : names) fifo->push(n);
    ioctl_with_int_cmd(protocol::value.name);
    values.clear();
    values.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        // A failed read leaves the read cursor where it stopped; the next
        // value is read on from there.
        double v;
        try {
            v = fifo->pop_as_double();
        } catch (const std::runtime_error&) {
            v = unreadable_value;
        }
        values.push_back(v);
    }
}

}  // namespace fb
}  // namespace tarn
