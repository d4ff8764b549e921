// SPDX-License-Identifier: MIT
// The write of a value converted to the property's declared type.
#include <tarn/fb/typed_write.hpp>

namespace tarn {
namespace fb {

namespace {

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

void write_converted(driver& session, const std::string& block, const std::string& property, const boost::any& loose) {
    const boost::any value = convert_value(declaration(session, block, property), loose);
    session.write_func_props(block, {to_property(property, value)});
}

}  // namespace fb
}  // namespace tarn
