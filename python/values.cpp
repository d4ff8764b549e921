// SPDX-License-Identifier: MIT
// Conversions between Python values and the library's values, with the
// range and type checks that keep a wrong value from reaching the device.
#include "values.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include <pybind11/stl.h>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/wire.hpp>

namespace py = pybind11;

namespace tarnfb {

namespace {

// Nesting of objects and arrays that the value stream carries.
constexpr int max_depth = 256;

std::string repr_of(py::handle v) { return py::repr(v).cast<std::string>(); }

std::string type_name(py::handle v) { return py::type::handle_of(v).attr("__name__").cast<std::string>(); }

// A Python int in the range of T, else ValueError.
template <class T>
T integer(py::handle v, const char* target, const std::string& what) {
    int overflow = 0;
    const long long s = PyLong_AsLongLongAndOverflow(v.ptr(), &overflow);
    if (s == -1 && PyErr_Occurred()) throw py::error_already_set();
    using limits = std::numeric_limits<T>;
    if (overflow == 0) {
        if constexpr (std::is_signed_v<T>) {
            if (s >= limits::min() && s <= limits::max()) return static_cast<T>(s);
        } else {
            if (s >= 0 && static_cast<unsigned long long>(s) <= limits::max()) return static_cast<T>(s);
        }
    } else if (overflow > 0) {
        const unsigned long long u = PyLong_AsUnsignedLongLong(v.ptr());
        if (PyErr_Occurred() != nullptr)
            PyErr_Clear();
        else if (u <= static_cast<unsigned long long>(limits::max()))
            return static_cast<T>(u);
    }
    throw py::value_error(what + ": " + repr_of(v) + " is out of range for " + target);
}

// A float or an int as a float, refusing finite values beyond its range.
float single(py::handle v, const std::string& what) {
    const double d = PyFloat_AsDouble(v.ptr());
    if (d == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
        throw py::value_error(what + ": " + repr_of(v) + " is out of range for float");
    return static_cast<float>(d);
}

bool is_number(py::handle v) { return PyLong_Check(v.ptr()) || PyFloat_Check(v.ptr()); }

// The wrappers' C++ types with their Python names.
template <class T>
struct wrapper;
template <>
struct wrapper<unsigned int> {
    static constexpr const char* name = "uint32";
};
template <>
struct wrapper<unsigned char> {
    static constexpr const char* name = "uint8";
};
template <>
struct wrapper<long long> {
    static constexpr const char* name = "int64";
};
template <>
struct wrapper<unsigned long long> {
    static constexpr const char* name = "uint64";
};
template <>
struct wrapper<float> {
    static constexpr const char* name = "float32";
};

template <class T>
T wrapped_number(py::handle v) {
    const std::string what = std::string("tarnfb.") + wrapper<T>::name + "()";
    if constexpr (std::is_floating_point_v<T>) {
        if (!is_number(v)) throw py::type_error(what + " takes a number, not " + type_name(v));
        return single(v, what);
    } else {
        if (!PyLong_Check(v.ptr())) throw py::type_error(what + " takes an int, not " + type_name(v));
        return integer<T>(v, wrapper<T>::name, what);
    }
}

// The wrapper's value as `any`, when `v` is one of the wrappers.
template <class... T>
bool unwrap(py::handle v, boost::any& out) {
    return (... || (py::isinstance<typed<T>>(v) && (out = v.cast<const typed<T>&>().value, true)));
}
bool unwrap_any(py::handle v, boost::any& out) {
    return unwrap<unsigned int, unsigned char, long long, unsigned long long, float>(v, out);
}

template <class T>
void bind_typed(py::module_& m, const char* doc) {
    const char* name = wrapper<T>::name;
    py::class_<typed<T>>(m, name, doc)
        .def(py::init([](py::handle v) { return typed<T>{wrapped_number<T>(v)}; }), py::arg("value"),
             "Wraps `value`; raises ValueError when the type cannot hold it.")
        .def_property_readonly(
            "value", [](const typed<T>& t) { return t.value; }, "The wrapped number.")
        .def("__eq__", [](const typed<T>& a, const typed<T>& b) { return a.value == b.value; })
        .def("__hash__", [](const typed<T>& t) { return py::hash(py::cast(t.value)); })
        .def("__repr__", [name](const typed<T>& t) {
            return std::string("tarnfb.") + name + "(" + repr_of(py::cast(t.value)) + ")";
        });
}

std::string key_of(py::handle key, const std::string& what) {
    if (!PyUnicode_Check(key.ptr())) throw py::type_error(what + ": object keys must be str, not " + type_name(key));
    return bytes_of(key);
}

// A value inside an object or array, as push_any writes it.
boost::any dynamic_value(py::handle v, const std::string& what, int depth) {
    boost::any out;
    if (unwrap_any(v, out)) return out;
    if (PyBool_Check(v.ptr())) return v.cast<bool>();
    if (PyLong_Check(v.ptr())) return integer<int>(v, "int32 (wrap it in tarnfb.int64())", what);
    if (PyFloat_Check(v.ptr())) return v.cast<double>();
    if (PyUnicode_Check(v.ptr())) return bytes_of(v);
    const bool is_dict = PyDict_Check(v.ptr());
    if (is_dict || PyList_Check(v.ptr()) || PyTuple_Check(v.ptr())) {
        if (depth >= max_depth) throw py::value_error(what + ": nested deeper than 256 levels");
        if (is_dict) {
            tarn::fb::fifo::object object;
            for (auto item : py::reinterpret_borrow<py::dict>(v))
                object[key_of(item.first, what)] = dynamic_value(item.second, what, depth + 1);
            return object;
        }
        tarn::fb::fifo::array array;
        for (py::handle e : v) array.push_back(dynamic_value(e, what, depth + 1));
        return array;
    }
    throw py::type_error(what + ": a value of type " + type_name(v) + " cannot be written");
}

template <class T>
tarn::fb::property pair(const std::string& name, T value) {
    return std::pair<std::string, T>(name, std::move(value));
}

template <class... T>
bool unwrap_item(const std::string& name, py::handle v, tarn::fb::property& out) {
    return (... || (py::isinstance<typed<T>>(v) && (out = pair(name, v.cast<const typed<T>&>().value), true)));
}

// A float as the shortest decimal that reads back as the same float (0.8f
// as 0.8, not 0.800000011920929), as fbdump writes it.
py::float_ shortest(float f) {
    if (!std::isfinite(f)) return py::float_(f);
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, f);
    double d = f;
    std::from_chars(digits, written.ptr, d);
    return py::float_(d);
}

}  // namespace

std::string bytes_of(py::handle str) {
    auto encoded = py::reinterpret_steal<py::object>(PyUnicode_AsEncodedString(str.ptr(), "utf-8", "surrogateescape"));
    if (!encoded) throw py::error_already_set();
    return std::string(PyBytes_AS_STRING(encoded.ptr()), static_cast<std::size_t>(PyBytes_GET_SIZE(encoded.ptr())));
}

py::str text(const std::string& s) {
    PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogateescape");
    if (o == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(o);
}

void bind_value_types(py::module_& m) {
    bind_typed<unsigned int>(m, "A number written as the device's uint32 type (0 to 4294967295).");
    bind_typed<unsigned char>(m, "A number written as the device's uint8 type (0 to 255).");
    bind_typed<long long>(m, "A number written as the device's int64 type.");
    bind_typed<unsigned long long>(m, "A number written as the device's uint64 type.");
    bind_typed<float>(m, "A number written as the device's 32-bit float type.");
}

py::object to_python(const boost::any& v) {
    using tarn::fb::fifo;
    if (auto* x = boost::any_cast<float>(&v)) return shortest(*x);
    if (auto* x = boost::any_cast<double>(&v)) return py::float_(*x);
    if (auto* x = boost::any_cast<signed char>(&v)) return py::int_(static_cast<int>(*x));
    if (auto* x = boost::any_cast<short>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<int>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<long long>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<unsigned char>(&v)) return py::int_(static_cast<unsigned int>(*x));
    if (auto* x = boost::any_cast<unsigned short>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<unsigned int>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<unsigned long long>(&v)) return py::int_(*x);
    if (auto* x = boost::any_cast<bool>(&v)) return py::bool_(*x);
    if (auto* x = boost::any_cast<std::string>(&v)) return text(*x);
    if (auto* x = boost::any_cast<std::vector<float>>(&v)) {
        py::list out;
        for (float f : *x) out.append(shortest(f));
        return out;
    }
    if (auto* x = boost::any_cast<std::vector<double>>(&v)) return py::cast(*x);
    if (auto* x = boost::any_cast<fifo::array>(&v)) {
        py::list out;
        for (const boost::any& e : *x) out.append(to_python(e));
        return out;
    }
    if (auto* x = boost::any_cast<fifo::object>(&v)) {
        py::dict out;
        for (const auto& kv : *x) out[text(kv.first)] = to_python(kv.second);
        return out;
    }
    return py::none();  // nil
}

boost::any loose_value(const std::string& name, py::handle v) {
    const std::string what = "property " + name;
    boost::any out;
    if (unwrap_any(v, out)) return out;
    if (PyLong_Check(v.ptr())) {
        int overflow = 0;
        const long long s = PyLong_AsLongLongAndOverflow(v.ptr(), &overflow);
        if (overflow == 0) return s;
        return integer<unsigned long long>(v, "any integer type", what);
    }
    if (PyFloat_Check(v.ptr())) return v.cast<double>();
    if (PyUnicode_Check(v.ptr())) return bytes_of(v);
    if (PyList_Check(v.ptr()) || PyTuple_Check(v.ptr())) {
        std::vector<boost::any> numbers;
        for (py::handle e : v) {
            if (!is_number(e)) throw py::type_error(what + ": a list holds numbers only, not " + type_name(e));
            numbers.push_back(loose_value(name, e));
        }
        return numbers;
    }
    throw py::type_error(what + ": expected a number, a str or a list of numbers, not " + type_name(v));
}

tarn::fb::property write_item(const std::string& name, py::handle v) {
    const std::string what = "property " + name;
    tarn::fb::property out;
    if (unwrap_item<unsigned int, unsigned char, long long, unsigned long long, float>(name, v, out)) return out;
    if (PyLong_Check(v.ptr())) return pair(name, integer<int>(v, "int32 (wrap it in tarnfb.int64())", what));
    if (PyFloat_Check(v.ptr())) return pair(name, v.cast<double>());
    if (PyUnicode_Check(v.ptr())) return pair(name, bytes_of(v));
    if (PyDict_Check(v.ptr())) return pair(name, boost::any_cast<tarn::fb::fifo::object>(dynamic_value(v, what, 0)));
    if (PyList_Check(v.ptr()) || PyTuple_Check(v.ptr())) {
        std::vector<float> numbers;
        for (py::handle e : v) {
            if (!is_number(e)) throw py::type_error(what + ": a list holds numbers only, not " + type_name(e));
            numbers.push_back(single(e, what));
        }
        return pair(name, std::move(numbers));
    }
    throw py::type_error(what + ": a value of type " + type_name(v) + " cannot be written");
}

}  // namespace tarnfb
