#pragma once
// Readers for the entries that the property and port queries leave in the
// reply region, shared by every program that prints them.
#include <string>
#include <vector>

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
std::string pop_property_value(fifo& f, const std::string& type);

property_entry pop_property_entry(fifo& f);

// A port sends its name, the count n, and n connection names (one when n is
// negative, none when it is 0).
port_entry pop_port_entry(fifo& f);

}  // namespace fb
}  // namespace tarn
