// SPDX-License-Identifier: MIT
// The single-property write and the write of a value converted to the
// property's declared type.
#include <tarn/fb/typed_write.hpp>

#include <list>

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

// The declaration of one property of a block, from its property listing.
declared_type declaration(driver& session, const std::string& block, const std::string& property) {
    fifo& reply = session.list_func_props(block);
    const int count = reply.pop<int>();
    for (int i = 0; i < count; ++i) {
        property_data listed = pop_property_data(reply);
        if (listed.name == property) return declaration_of(listed);
    }
    throw value_error(value_error::reason::unknown_property, "block " + block + " has no property " + property);
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

void write_converted(driver& session, const std::string& block, const std::string& property, const boost::any& loose) {
    const boost::any value = convert_value(declaration(session, block, property), loose);
    session.write_func_props(block, {to_property(property, value)});
}

}  // namespace fb
}  // namespace tarn
