// SPDX-License-Identifier: MIT
// The table of value types and the JSON form of each.
#include "value_types.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include <tarn/fb/float_text.hpp>
#include <tarn/fb/region.hpp>

namespace fbemu {
namespace {

using tarn::fb::fifo;

[[noreturn]] void bad(const std::string& why) { throw std::runtime_error(why); }

// Nested arrays and objects deeper than this are refused, as the value stream does.
constexpr int max_depth = 256;

template <class T>
boost::any pop_typed(fifo& f) {
    return f.pop<T>();
}
template <class T>
void push_typed(fifo& f, const boost::any& v) {
    f.push<T>(boost::any_cast<const T&>(v));
}

template <class T>
json integer_to_json(const boost::any& v) {
    const T x = boost::any_cast<T>(v);
    if constexpr (std::is_signed_v<T>)
        return json(static_cast<long long>(x));
    else
        return json(static_cast<unsigned long long>(x));
}

template <class T>
boost::any integer_from_json(const json& j) {
    integer i;
    if (j.is_number_unsigned())
        i = integer::of(j.get<unsigned long long>());
    else if (j.is_number_integer())
        i = integer::of(j.get<long long>());
    else
        bad("an integer expected");
    if (!i.fits<T>()) bad("integer out of range");
    return i.as<T>();
}

// Floating-point numbers; JSON has no NaN or infinity, so those are words
// (tarn::fb::json_number), and a float is written as its shortest decimal.
template <class T>
T floating_from(const json& j) {
    if (j.is_string()) {
        const auto& s = j.get_ref<const std::string&>();
        if (s == "nan") return std::numeric_limits<T>::quiet_NaN();
        if (s == "inf") return std::numeric_limits<T>::infinity();
        if (s == "-inf") return -std::numeric_limits<T>::infinity();
    }
    if (!j.is_number()) bad("a number expected");
    const double d = j.get<double>();
    if (std::fabs(d) > std::numeric_limits<T>::max()) bad("number out of range");
    return static_cast<T>(d);
}
template <class T>
json floating_to_json(const boost::any& v) {
    return tarn::fb::json_number<json>(boost::any_cast<T>(v));
}
template <class T>
boost::any floating_from_json(const json& j) {
    return floating_from<T>(j);
}

template <class T>
json vector_to_json(const boost::any& v) {
    json out = json::array();
    for (T x : boost::any_cast<const std::vector<T>&>(v)) out.push_back(tarn::fb::json_number<json>(x));
    return out;
}
template <class T>
boost::any vector_from_json(const json& j) {
    if (!j.is_array()) bad("an array of numbers expected");
    std::vector<T> out;
    for (const auto& e : j) out.push_back(floating_from<T>(e));
    return out;
}

json bool_to_json(const boost::any& v) { return boost::any_cast<bool>(v); }
boost::any bool_from_json(const json& j) {
    if (!j.is_boolean()) bad("true or false expected");
    return j.get<bool>();
}

json string_to_json(const boost::any& v) { return boost::any_cast<const std::string&>(v); }
boost::any string_from_json(const json& j) {
    if (!j.is_string()) bad("a string expected");
    return j.get<std::string>();
}

boost::any pop_nil(fifo& f) { return f.pop<tarn::fb::nil>(); }
void push_nil_any(fifo& f, const boost::any&) { push_nil(f); }
json nil_to_json(const boost::any&) { return nullptr; }
boost::any nil_from_json(const json& j) {
    if (!j.is_null()) bad("null expected");
    return tarn::fb::nil{};
}

json tagged(const boost::any& v, int depth);
boost::any untagged(const json& j, int depth);

json array_to_json_at(const boost::any& v, int depth) {
    json out = json::array();
    for (const auto& e : boost::any_cast<const fifo::array&>(v)) out.push_back(tagged(e, depth + 1));
    return out;
}
boost::any array_from_json_at(const json& j, int depth) {
    if (!j.is_array()) bad("an array expected");
    fifo::array out;
    for (const auto& e : j) out.push_back(untagged(e, depth + 1));
    return out;
}
json object_to_json_at(const boost::any& v, int depth) {
    json out = json::object();
    for (const auto& [k, e] : boost::any_cast<const fifo::object&>(v)) out[k] = tagged(e, depth + 1);
    return out;
}
boost::any object_from_json_at(const json& j, int depth) {
    if (!j.is_object()) bad("an object expected");
    fifo::object out;
    for (const auto& [k, e] : j.items()) out[k] = untagged(e, depth + 1);
    return out;
}
json array_to_json(const boost::any& v) { return array_to_json_at(v, 0); }
boost::any array_from_json(const json& j) { return array_from_json_at(j, 0); }
json object_to_json(const boost::any& v) { return object_to_json_at(v, 0); }
boost::any object_from_json(const json& j) { return object_from_json_at(j, 0); }

// How the state file and the property listings name each value type.
template <class T>
constexpr const char* name_of = nullptr;
template <>
constexpr const char* name_of<float> = "float";
template <>
constexpr const char* name_of<unsigned int> = "uint32";
template <>
constexpr const char* name_of<unsigned char> = "uint8";
template <>
constexpr const char* name_of<signed char> = "int8";
template <>
constexpr const char* name_of<short> = "int16";
template <>
constexpr const char* name_of<int> = "int32";
template <>
constexpr const char* name_of<long long> = "int64";
template <>
constexpr const char* name_of<unsigned long long> = "uint64";
template <>
constexpr const char* name_of<double> = "double";
template <>
constexpr const char* name_of<bool> = "bool";
template <>
constexpr const char* name_of<std::string> = "string";
template <>
constexpr const char* name_of<std::vector<float>> = "float_vector";
template <>
constexpr const char* name_of<std::vector<double>> = "double_vector";
template <>
constexpr const char* name_of<tarn::fb::nil> = "nil";

// The entry of one of the library's value types.
template <class T>
value_type entry() {
    static_assert(name_of<T> != nullptr, "every value type has a name");
    value_type t{name_of<T>, tarn::fb::wire<T>::tag, &typeid(T), true, nullptr, nullptr, nullptr, nullptr};
    if constexpr (!std::is_same_v<T, tarn::fb::nil>) {
        t.pop = pop_typed<T>;
        t.push = push_typed<T>;
    }
    if constexpr (std::is_same_v<T, bool>) {
        t.to_json = bool_to_json;
        t.from_json = bool_from_json;
    } else if constexpr (std::is_floating_point_v<T>) {
        t.to_json = floating_to_json<T>;
        t.from_json = floating_from_json<T>;
    } else if constexpr (std::is_integral_v<T>) {
        t.to_json = integer_to_json<T>;
        t.from_json = integer_from_json<T>;
    } else if constexpr (std::is_same_v<T, std::string>) {
        t.to_json = string_to_json;
        t.from_json = string_from_json;
    } else if constexpr (std::is_same_v<T, tarn::fb::nil>) {
        // The library only reads nil values; the device writes them itself.
        t.nestable = false;
        t.pop = pop_nil;
        t.push = push_nil_any;
        t.to_json = nil_to_json;
        t.from_json = nil_from_json;
    } else {
        t.nestable = false;  // numeric vectors
        t.to_json = vector_to_json<typename T::value_type>;
        t.from_json = vector_from_json<typename T::value_type>;
    }
    return t;
}

template <class... T>
std::array<value_type, sizeof...(T) + 2> table_of(tarn::fb::type_list<T...>) {
    return {entry<T>()...,
            value_type{"array", tarn::fb::tag_array_begin, &typeid(fifo::array), true, pop_typed<fifo::array>,
                       push_typed<fifo::array>, array_to_json, array_from_json},
            value_type{"object", tarn::fb::tag_object_begin, &typeid(fifo::object), true, pop_typed<fifo::object>,
                       push_typed<fifo::object>, object_to_json, object_from_json}};
}
const auto types = table_of(tarn::fb::value_types{});

json tagged(const boost::any& v, int depth) {
    if (depth > max_depth) bad("values nested too deep");
    const value_type* t = type_of(v);
    if (!t || !t->nestable)
        bad(std::string("a ") + (t ? t->name : "value of unknown type") + " cannot stand inside an array or object");
    json value;
    if (t->tag == tarn::fb::tag_array_begin)
        value = array_to_json_at(v, depth);
    else if (t->tag == tarn::fb::tag_object_begin)
        value = object_to_json_at(v, depth);
    else
        value = t->to_json(v);
    json out = json::object();
    out[t->name] = std::move(value);
    return out;
}

boost::any untagged(const json& j, int depth) {
    if (depth > max_depth) bad("values nested too deep");
    if (!j.is_object() || j.size() != 1) bad("a value inside an array or object must be {\"<type>\": <value>}");
    const auto it = j.begin();
    const std::string& name = it.key();
    const json& value = it.value();
    const value_type* t = type_named(name);
    if (!t || !t->nestable) bad("\"" + name + "\" is not a type that can stand inside an array or object");
    if (t->tag == tarn::fb::tag_array_begin) return array_from_json_at(value, depth);
    if (t->tag == tarn::fb::tag_object_begin) return object_from_json_at(value, depth);
    return t->from_json(value);
}

}  // namespace

const value_type* type_named(const std::string& name) {
    for (const auto& t : types)
        if (name == t.name) return &t;
    return nullptr;
}

const value_type* type_with_tag(std::uint32_t tag) {
    for (const auto& t : types)
        if (t.tag == tag) return &t;
    return nullptr;
}

const value_type* type_of(const boost::any& v) {
    for (const auto& t : types)
        if (v.type() == *t.held) return &t;
    return nullptr;
}

json to_tagged_json(const boost::any& v) { return tagged(v, 0); }
boost::any from_tagged_json(const json& j) { return untagged(j, 0); }

void push_nil(fifo& f) {
    // Same steps as the library's fixed-size push: count, room for the tag,
    // then room for the one payload byte.
    tarn::fb::detail::region r(f.request_header);
    r.add(tarn::fb::detail::push_count, 1);
    const auto space = r.free_space(5);
    if (!space) throw fifo::error("push<tarn::fb::nil> failed");
    tarn::fb::detail::store32(space->at, tarn::fb::tag_nil);
    space->at[4] = 0;
    r.add(tarn::fb::detail::write_cursor, 5);
}

bool integer_value(const boost::any& v, integer& out) {
    bool found = false;
    tarn::fb::visit_held(v, [&](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
            out = integer::of(x);
            found = true;
        }
    });
    return found;
}

bool floating_value(const boost::any& v, double& out) {
    bool found = false;
    tarn::fb::visit_held(v, [&](const auto& x) {
        if constexpr (std::is_floating_point_v<std::decay_t<decltype(x)>>) {
            out = x;
            found = true;
        }
    });
    return found;
}

}  // namespace fbemu
