// SPDX-License-Identifier: MIT
// Readers for the property and port entries of the listing replies, with
// values rendered as text or kept as data.
#include <tarn/fb/entries.hpp>

#include <map>
#include <type_traits>

namespace tarn {
namespace fb {

namespace {

std::string render(const boost::any& value);

template <class Range>
std::string render_list(const Range& items, const char* open, const char* close) {
    std::string text(open);
    bool first = true;
    for (const auto& item : items) {
        if (!first) text += ", ";
        first = false;
        text += render(item);
    }
    return text + close;
}

// Scalars as pop_as_string renders them, numeric vectors as lists.
template <class T>
std::string render_value(const T& x) {
    if constexpr (std::is_same_v<T, std::string>)
        return x;
    else if constexpr (std::is_same_v<T, bool>)
        return x ? "true" : "false";
    else if constexpr (std::is_same_v<T, nil>)
        return "nil";
    else if constexpr (std::is_arithmetic_v<T>)
        return std::to_string(x);
    else
        return render_list(std::vector<boost::any>(x.begin(), x.end()), "[", "]");
}

std::string render(const boost::any& v) {
    std::string text;
    if (visit_held(v, [&text](const auto& x) { text = render_value(x); })) return text;
    if (const auto* array = boost::any_cast<fifo::array>(&v)) return render_list(*array, "[", "]");
    if (const auto* obj = boost::any_cast<fifo::object>(&v)) {
        // Sorted by key, so the text does not depend on the map's order.
        std::map<std::string, const boost::any*> sorted;
        for (const auto& kv : *obj) sorted.emplace(kv.first, &kv.second);
        text = "{";
        for (const auto& kv : sorted) {
            if (text.size() > 1) text += ", ";
            text += kv.first + ": " + render(*kv.second);
        }
        return text + "}";
    }
    return "?";
}

// The tag of the next unread value, or 0 when there is none.
std::uint32_t next_tag(fifo& f) { return detail::region(f.reply_header).next_tag().value_or(0); }

// An enum's choices: their count, then that many names.
std::vector<std::string> pop_choices(fifo& f) {
    const int n = f.pop<int>();
    std::vector<std::string> choices;
    for (int i = 0; i < n; ++i) choices.push_back(f.pop<std::string>());
    return choices;
}

// The value of a property_data: see entries.hpp.
boost::any pop_value_data(fifo& f, const std::string& type, std::vector<std::string>& choices) {
    if (type == "float") return f.pop<float>();
    if (type == "uint32") return f.pop<unsigned int>();
    if (type == "uint8") return f.pop<unsigned char>();
    if (type == "enum") {
        choices = pop_choices(f);
        return f.pop<int>();
    }
    if (next_tag(f) == tag_uint16) return static_cast<unsigned int>(f.pop_as_double());
    return f.pop_any();
}

}  // namespace

std::string pop_property_value(fifo& f, const std::string& type) {
    if (type == "float") return std::to_string(double{f.pop<float>()});
    if (type == "uint32") return std::to_string(f.pop<unsigned int>());
    if (type == "uint8") return std::to_string(unsigned{f.pop<unsigned char>()});
    if (type == "enum") {
        std::string text("[");
        const std::vector<std::string> choices = pop_choices(f);
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (i) text += ", ";
            text += choices[i];
        }
        text += "] (";
        text += std::to_string(f.pop<int>());
        return text + ")";
    }
    switch (next_tag(f)) {
    case tag_float_vector:
    case tag_double_vector:
    case tag_array_begin:
    case tag_object_begin: return render(f.pop_any());
    default: return f.pop_as_string();
    }
}

property_entry pop_property_entry(fifo& f) {
    property_entry e;
    e.name = f.pop<std::string>();
    e.type = f.pop<std::string>();
    e.value = pop_property_value(f, e.type);
    return e;
}

property_data pop_property_data(fifo& f) {
    property_data p;
    p.name = f.pop<std::string>();
    p.type = f.pop<std::string>();
    p.value = pop_value_data(f, p.type, p.choices);
    return p;
}

port_entry pop_port_entry(fifo& f) {
    port_entry e;
    e.name = f.pop<std::string>();
    e.count = f.pop<int>();
    const int names = e.count < 0 ? 1 : e.count;
    for (int i = 0; i < names; ++i) e.connections.push_back(f.pop<std::string>());
    return e;
}

}  // namespace fb
}  // namespace tarn
