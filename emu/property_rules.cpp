// SPDX-License-Identifier: MIT
// The rules by which a declared property accepts a written value.
#include "property_rules.hpp"

#include <cmath>
#include <limits>

#include "failure.hpp"
#include "value_types.hpp"

namespace fbemu {
namespace {

const char* type_name_of(const boost::any& v) {
    const value_type* t = type_of(v);
    return t ? t->name : "unknown";
}

template <class T>
bool store_integer(const integer& i, boost::any& out) {
    if (!i.fits<T>()) return false;
    out = i.as<T>();
    return true;
}

// The integer types a property can be declared with, by name.
bool integer_property(const std::string& type, const integer& i, boost::any& out, bool& in_range) {
    in_range = true;
    if (type == "uint8")
        in_range = store_integer<unsigned char>(i, out);
    else if (type == "uint32")
        in_range = store_integer<unsigned int>(i, out);
    else if (type == "uint64")
        in_range = store_integer<unsigned long long>(i, out);
    else if (type == "int8")
        in_range = store_integer<signed char>(i, out);
    else if (type == "int16")
        in_range = store_integer<short>(i, out);
    else if (type == "int32")
        in_range = store_integer<int>(i, out);
    else if (type == "int64")
        in_range = store_integer<long long>(i, out);
    else
        return false;
    return true;
}

}  // namespace

boost::any accept_value(const property_decl& decl, const boost::any& incoming, const std::string& full_name) {
    const auto refuse = [&] {
        return failure(err_value_type,
                       full_name + ": a " + decl.type + " property cannot take a " + type_name_of(incoming) + " value");
    };
    const auto out_of_range = [&](const std::string& range) {
        return failure(err_value_range, full_name + ": value out of range (" + range + ")");
    };

    integer i;
    if (decl.type == "enum") {
        if (!integer_value(incoming, i)) throw refuse();
        if (i.negative || i.magnitude >= decl.choices.size())
            throw out_of_range("choice 0 to " + std::to_string(decl.choices.size() - 1));
        return static_cast<int>(i.magnitude);
    }
    boost::any stored;
    bool in_range;
    if (integer_value(incoming, i) && integer_property(decl.type, i, stored, in_range)) {
        if (!in_range) throw out_of_range(decl.type);
        return stored;
    }
    double d;
    if (floating_value(incoming, d)) {
        if (decl.type == "double") return d;
        if (decl.type == "float") {
            if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) throw out_of_range("float");
            return static_cast<float>(d);
        }
    }
    if (decl.type != type_name_of(incoming)) throw refuse();
    if (decl.type == "array" || decl.type == "object") {
        // Everything inside must be something the value stream can send back.
        try {
            to_tagged_json(incoming);
        } catch (const std::runtime_error& e) {
            throw failure(err_value_type, full_name + ": " + e.what());
        }
    }
    return incoming;
}

boost::any zero_value(const property_decl& decl) {
    if (decl.type == "enum") return 0;
    const value_type* t = type_named(decl.type);
    // Every value type has a JSON form for its zero: 0, false, "", [] or {}.
    if (t->tag == tarn::fb::tag_bool) return false;
    if (t->tag == tarn::fb::tag_string) return std::string();
    if (t->tag == tarn::fb::tag_nil) return tarn::fb::nil{};
    if (t->tag == tarn::fb::tag_object_begin) return t->from_json(json::object());
    if (t->tag == tarn::fb::tag_float_vector || t->tag == tarn::fb::tag_double_vector ||
        t->tag == tarn::fb::tag_array_begin)
        return t->from_json(json::array());
    return t->from_json(0);
}

bool valid_property_type(const std::string& type) { return type == "enum" || type_named(type) != nullptr; }

}  // namespace fbemu
