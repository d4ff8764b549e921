// SPDX-License-Identifier: MIT
#pragma once
// Readers for the entries that the property and port queries leave in the
// reply region, shared by every program that prints them.
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <tarn/fb/export.hpp>
#include <tarn/fb/fifo.hpp>

namespace tarn {
namespace fb {

// One property: its name, its type name and its value as text.
struct property_entry {
    std::string name;
    std::string type;
    std::string value;
};

// One port: its name, the connection count as sent, and the names sent.
struct port_entry {
    std::string name;
    int count = 0;
    std::vector<std::string> connections;
};

// Reads the value that follows a property's type name and renders it:
// "float" as "%f", "uint32" and "uint8" as "%u", "enum" as "[a, b] (1)".
// Other types are read with the reply's own tag, so the next entry is read in
// step: scalars as pop_as_string renders them, vectors and arrays as
// "[a, b]", objects as "{k: v}".
TARN_FB_EXPORT std::string pop_property_value(fifo& f, const std::string& type);

TARN_FB_EXPORT property_entry pop_property_entry(fifo& f);

// One property with its value as data, for programs that hand values on (as
// JSON, say) instead of printing them.
struct property_data {
    std::string name;
    std::string type;
    // "float", "uint32", "uint8": a float, unsigned int or unsigned char.
    // "enum": the index of the current choice (int); the choices are below.
    // Other types: the value as pop_any reads it with the reply's own tag
    // (a uint16, which has no typed pop, as an unsigned int).
    boost::any value;
    std::vector<std::string> choices;  // "enum" only
};

// Reads the same entry as pop_property_entry, value by value with the same
// typed pops for the four declared types, but keeps the value as data.
TARN_FB_EXPORT property_data pop_property_data(fifo& f);

// A port sends its name, the count n, and n connection names (one when n is
// negative, none when it is 0).
TARN_FB_EXPORT port_entry pop_port_entry(fifo& f);

}  // namespace fb
}  // namespace tarn
