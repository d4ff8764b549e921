// SPDX-License-Identifier: MIT
#include <tarn/fb/entries.hpp>

#include <algorithm>
#include <map>

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

std::string render(const boost::any& v) {
    const std::type_info& t = v.type();
    if (t == typeid(signed char)) return std::to_string(boost::any_cast<signed char>(v));
    if (t == typeid(short)) return std::to_string(boost::any_cast<short>(v));
    if (t == typeid(int)) return std::to_string(boost::any_cast<int>(v));
    if (t == typeid(long long)) return std::to_string(boost::any_cast<long long>(v));
    if (t == typeid(unsigned char)) return std::to_string(boost::any_cast<unsigned char>(v));
    if (t == typeid(unsigned int)) return std::to_string(boost::any_cast<unsigned int>(v));
    if (t == typeid(unsigned long long)) return std::to_string(boost::any_cast<unsigned long long>(v));
    if (t == typeid(float)) return std::to_string(double{boost::any_cast<float>(v)});
    if (t == typeid(double)) return std::to_string(boost::any_cast<double>(v));
    if (t == typeid(bool)) return boost::any_cast<bool>(v) ? "true" : "false";
    if (t == typeid(nil)) return "nil";
    if (t == typeid(std::string)) return boost::any_cast<const std::string&>(v);
    if (t == typeid(std::vector<float>)) {
        const auto& xs = boost::any_cast<const std::vector<float>&>(v);
        std::vector<boost::any> items(xs.begin(), xs.end());
        return render_list(items, "[", "]");
    }
    if (t == typeid(std::vector<double>)) {
        const auto& xs = boost::any_cast<const std::vector<double>&>(v);
        std::vector<boost::any> items(xs.begin(), xs.end());
        return render_list(items, "[", "]");
    }
    if (t == typeid(fifo::array)) return render_list(boost::any_cast<const fifo::array&>(v), "[", "]");
    if (t == typeid(fifo::object)) {
        // Sorted by key, so the text does not depend on the map's order.
        const auto& obj = boost::any_cast<const fifo::object&>(v);
        std::map<std::string, const boost::any*> sorted;
        for (const auto& kv : obj) sorted.emplace(kv.first, &kv.second);
        std::string text("{");
        for (const auto& kv : sorted) {
            if (text.size() > 1) text += ", ";
            text += kv.first + ": " + render(*kv.second);
        }
        return text + "}";
    }
    return "?";
}

// The tag of the next unread value, or 0 when there is none.
std::uint32_t next_tag(fifo& f) {
    detail::region r(f.reply_header);
    unsigned char* at;
    std::uint32_t available;
    if (!r.readable(at, available) || available < 4) return 0;
    return detail::load32(at);
}

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
