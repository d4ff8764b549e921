// SPDX-License-Identifier: MIT
#pragma once
// Python values to and from the library's values: dynamic values read from
// the device, loose values for a converted write, elements of the raw bulk
// write, and the wrappers that choose a value type explicitly.
#include <string>

#include <boost/any.hpp>
#include <pybind11/pybind11.h>
#include <tarn/fb/driver.hpp>

namespace tarnfb {

// The value of a tarnfb.uint32(), tarnfb.uint8(), ... wrapper.
template <class T>
struct typed {
    T value;
};

// Adds the wrapper classes uint32, uint8, int64, uint64 and float32.
void bind_value_types(pybind11::module_& m);

// A str as the UTF-8 bytes the device takes; surrogate escapes (as text()
// makes them) become the bytes they stand for again. UnicodeEncodeError for
// other lone surrogates.
std::string bytes_of(pybind11::handle str);

// A name or other text argument for the device, taken from a str by bytes_of.
struct device_text {
    std::string bytes;
};

// Text from the device as str; bytes that are not UTF-8 are kept as
// surrogate escapes, so that nothing is lost.
pybind11::str text(const std::string& s);

// A value the device sent (any type the value stream reads) as Python:
// numbers as int or float, text as str, vectors and arrays as lists, objects
// as dicts, nil as None.
pybind11::object to_python(const boost::any& value);

// A value of property `name` for a write converted to the property's
// declared type: a number (long long, unsigned long long or double), a str,
// a list of numbers, or a wrapper's value. Throws TypeError for anything
// else, ValueError for an int beyond 64 bits.
boost::any loose_value(const std::string& name, pybind11::handle value);

// One element of the raw bulk write: int -> int32, float -> double, str,
// dict -> object, list of numbers -> float vector, or the wrapper's type.
// Throws TypeError or ValueError (out of range) naming the property.
tarn::fb::property write_item(const std::string& name, pybind11::handle value);

}  // namespace tarnfb

namespace pybind11 {
namespace detail {

// Lets bindings take device_text arguments: a str only, converted by bytes_of.
template <>
struct type_caster<tarnfb::device_text> {
    PYBIND11_TYPE_CASTER(tarnfb::device_text, const_name("str"));

    bool load(handle src, bool) {
        if (!PyUnicode_Check(src.ptr())) return false;
        try {
            value.bytes = tarnfb::bytes_of(src);
        } catch (const error_already_set&) {
            return false;
        }
        return true;
    }
    static handle cast(const tarnfb::device_text& t, return_value_policy, handle) {
        return tarnfb::text(t.bytes).release();
    }
};

}  // namespace detail
}  // namespace pybind11
