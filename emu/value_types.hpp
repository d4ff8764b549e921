// SPDX-License-Identifier: MIT
#pragma once
// The value types the device stores, as one table: for each its name (as the
// property listings and the state file spell it), its wire tag, the C++ type
// held in the boost::any, how it travels through the value stream and how it
// is written to and read from JSON.
#include <cstdint>
#include <string>
#include <typeinfo>

#include <boost/any.hpp>
#include <nlohmann/json.hpp>
#include <tarn/fb/fifo.hpp>

namespace fbemu {

using json = nlohmann::ordered_json;

struct value_type {
    const char* name;
    std::uint32_t tag;
    const std::type_info* held;
    // Whether the value can stand inside an array or object: the library's
    // dynamic push writes only these.
    bool nestable;
    // Reads the next value, whose tag is known to be `tag`.
    boost::any (*pop)(tarn::fb::fifo&);
    // Writes the value; `v` holds `held`.
    void (*push)(tarn::fb::fifo&, const boost::any& v);
    json (*to_json)(const boost::any& v);
    // Throws std::runtime_error with a reason when `j` is not a value of this type.
    boost::any (*from_json)(const json& j);
};

const value_type* type_named(const std::string& name);
const value_type* type_with_tag(std::uint32_t tag);
const value_type* type_of(const boost::any& v);

// Values inside arrays and objects carry their type: {"<type name>": <value>}.
json to_tagged_json(const boost::any& v);
boost::any from_tagged_json(const json& j);

// Writes a nil value (tag and its one ignored byte); the library only reads them.
void push_nil(tarn::fb::fifo& f);

}  // namespace fbemu

#include "integers.hpp"

namespace fbemu {

// The value as an integer when it holds one of the integer types (not bool).
bool integer_value(const boost::any& v, integer& out);
// The value as a double when it holds float or double.
bool floating_value(const boost::any& v, double& out);

}  // namespace fbemu
