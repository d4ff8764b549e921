// SPDX-License-Identifier: MIT
// Changes to the device's network: blocks, connections, activity, resources.
#include "exchange.hpp"

namespace tarn {
namespace fb {

unsigned int driver::create(const std::string& factory, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    send(3, "create", factory, name);
    return fifo->pop<unsigned int>();
}

void driver::destroy(unsigned int ticket) {
    std::lock_guard<std::mutex> lock(mutex);
    send(4, "destroy", ticket);
}

void driver::connect(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send(5, "connect", source, destination);
}

void driver::connect_unchecked(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send(6, "connect_unchecked", source, destination);
}

void driver::disconnect(const std::string& source, const std::string& destination) {
    std::lock_guard<std::mutex> lock(mutex);
    send(7, "disconnect", source, destination);
}

void driver::activate(const std::string& block, bool active) {
    std::lock_guard<std::mutex> lock(mutex);
    // The flag travels as an int, not as a bool.
    send(13, "activate", block, active ? 1 : 0);
}

void driver::write_resource_meth(const std::string& text1, const std::string& text2, const std::string& text3,
                                 const std::string& text4, unsigned int number) {
    std::lock_guard<std::mutex> lock(mutex);
    if (text4.empty())
        send(15, "res_method", text1, text2, number, text3);
    else
        send(15, "res_method", text1, text2, number, text3, text4);
}

}  // namespace fb
}  // namespace tarn
