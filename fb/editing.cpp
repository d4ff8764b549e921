// SPDX-License-Identifier: MIT
// Changes to the device's network: blocks, connections, activity, resources.
#include "exchange.hpp"

namespace tarn {
namespace fb {

using detail::send;

unsigned int driver::create(const std::string& factory, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    send<protocol::create>(*this, factory, name);
    return fifo->pop<unsigned int>();
}

void driver::destroy(unsigned int ticket) {
    std::lock_guard<std::mutex> lock(mutex);
    send<protocol::destroy>(*this, ticket);
}

void driver::connect(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send<protocol::connect>(*this, source, destination);
}

void driver::connect_unchecked(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send<protocol::connect_unchecked>(*this, source, destination);
}

void driver::disconnect(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send<protocol::disconnect>(*this, source, destination);
}

void driver::activate(const std::string& block, bool active) {
    std::lock_guard<std::mutex> lock(mutex);
    // The flag travels as an int, not as a bool.
    send<protocol::activate>(*this, block, active ? 1 : 0);
}

void driver::write_resource_meth(const std::string& text1, const std::string& text2, const std::string& text3,
                                 const std::string& text4, unsigned int number) {
    std::lock_guard<std::mutex> lock(mutex);
    if (text4.empty())
        send<protocol::res_method>(*this, text1, text2, number, text3);
    else
        send<protocol::res_method>(*this, text1, text2, number, text3, text4);
}

}  // namespace fb
}  // namespace tarn
