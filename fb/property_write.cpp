// SPDX-License-Identifier: MIT
// The single-property write.
#include <tarn/fb/property_write.hpp>

namespace tarn {
namespace fb {

namespace {

constexpr int write_props_code = 8;

// One name and one value with the session's exchange pattern; a device
// failure names the block and the property.
template <class T>
void write_one(driver& session, const std::string& block, const std::string& property, T value) {
    std::lock_guard<std::mutex> lock(session.mutex);
    session.reset_request();
    session.fifo->push<int>(write_props_code);
    session.fifo->push(block);
    session.fifo->push(property);
    session.fifo->push<T>(value);
    try {
        session.ioctl_with_int_cmd("write_func_prop");
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

}  // namespace fb
}  // namespace tarn
