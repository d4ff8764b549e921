// SPDX-License-Identifier: MIT
#pragma once
// Which values a declared property accepts. Numbers are taken by value:
// integer properties ("uint8", "uint32", "int32", ..., "enum") accept a value
// of any integer type that lies in their range (for an enum, a choice index);
// "float" and "double" properties accept a float or a double. Every other
// property takes only a value of exactly its own type. Nothing converts
// between text and numbers or between integers and floating point.
#include <string>

#include <boost/any.hpp>

#include "network.hpp"

namespace fbemu {

// The value to store for `decl` when it is written with `incoming`; throws a
// failure that names `full_name` ("block.property") when it is refused.
boost::any accept_value(const property_decl& decl, const boost::any& incoming, const std::string& full_name);

// The value a property starts with when the catalog names none: zero, the
// first choice, the empty text or the empty collection.
boost::any zero_value(const property_decl& decl);

// Whether `type` may be declared for a property: a value type or "enum".
bool valid_property_type(const std::string& type);

}  // namespace fbemu
