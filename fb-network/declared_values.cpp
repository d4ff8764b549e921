// SPDX-License-Identifier: MIT
// Values of a property's declared type: converting a loosely typed value to
// it with range and name checks, comparing two of them, writing one as text.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <tarn/fb/plan_words.hpp>
#include <tarn/fb/typed_write.hpp>

namespace tarn {
namespace fb {

value_error::value_error(reason why_, const std::string& message) : tarn::exception::exception(message), why(why_) {}
value_error::~value_error() = default;

declared_type declaration_of(const property_data& listed) { return {listed.type, listed.choices}; }

namespace {

using reason = value_error::reason;

template <class T>
const T* held(const boost::any& v) {
    return boost::any_cast<T>(&v);
}

// A number taken from any of the numeric types a loose value may hold.
struct number {
    bool integral = false;
    bool negative = false;             // integral only
    unsigned long long magnitude = 0;  // integral only
    double real = 0;                   // every number
};

template <class T>
bool take_integer(const boost::any& v, number& n) {
    const T* x = held<T>(v);
    if (x == nullptr) return false;
    n.integral = true;
    n.negative = *x < 0;
    // The magnitude of the most negative value does not fit T itself.
    n.magnitude = n.negative ? 0ULL - static_cast<unsigned long long>(*x) : static_cast<unsigned long long>(*x);
    n.real = static_cast<double>(*x);
    return true;
}

bool as_number(const boost::any& v, number& n) {
    if (take_integer<signed char>(v, n) || take_integer<short>(v, n) || take_integer<int>(v, n) ||
        take_integer<long long>(v, n) || take_integer<unsigned char>(v, n) || take_integer<unsigned short>(v, n) ||
        take_integer<unsigned int>(v, n) || take_integer<unsigned long long>(v, n))
        return true;
    if (const float* f = held<float>(v)) {
        n.real = *f;
        return true;
    }
    if (const double* d = held<double>(v)) {
        n.real = *d;
        return true;
    }
    return false;
}

// What a loose value is, for messages: "a float", "text", ...
std::string kind_of(const boost::any& v) {
    number n;
    if (as_number(v, n)) return n.integral ? "an integer" : "a floating-point number";
    if (held<std::string>(v)) return "text";
    if (held<bool>(v)) return "true or false";
    if (v.empty() || held<nil>(v)) return "null";
    return "a list or an object";
}

[[noreturn]] void wrong_type(const declared_type& d, const boost::any& v) {
    throw value_error(reason::wrong_type, kind_of(v) + " cannot be a value of a " + d.type + " property");
}

std::string integer_text(const number& n) { return (n.negative ? "-" : "") + std::to_string(n.magnitude); }

// An integer within the range of T, sent as the (possibly wider) type Wire.
template <class T, class Wire = T>
boost::any integer_of(const declared_type& d, const boost::any& v) {
    number n;
    if (!as_number(v, n) || !n.integral) wrong_type(d, v);
    using limits = std::numeric_limits<T>;
    const bool fits = n.negative
                          ? limits::is_signed && n.magnitude <= 0ULL - static_cast<unsigned long long>(limits::min())
                          : n.magnitude <= static_cast<unsigned long long>(limits::max());
    if (!fits)
        throw value_error(reason::out_of_range, integer_text(n) + " is out of range for " + d.type + " (" +
                                                    std::to_string(limits::min()) + " to " +
                                                    std::to_string(limits::max()) + ")");
    const T x = n.negative ? static_cast<T>(-static_cast<long long>(n.magnitude - 1) - 1) : static_cast<T>(n.magnitude);
    return static_cast<Wire>(x);
}

// "nan", "inf" and "-inf" as text, as JSON documents write them.
bool non_finite_text(const boost::any& v, double& d) {
    const std::string* s = held<std::string>(v);
    if (s == nullptr) return false;
    if (*s == "nan")
        d = std::numeric_limits<double>::quiet_NaN();
    else if (*s == "inf")
        d = std::numeric_limits<double>::infinity();
    else if (*s == "-inf")
        d = -std::numeric_limits<double>::infinity();
    else
        return false;
    return true;
}

double real_of(const declared_type& d, const boost::any& v) {
    number n;
    double text_value;
    if (as_number(v, n)) return n.real;
    if (non_finite_text(v, text_value)) return text_value;
    wrong_type(d, v);
}

boost::any float_of(const declared_type& d, const boost::any& v) {
    if (const float* f = held<float>(v)) return *f;
    const double x = real_of(d, v);
    if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max())
        throw value_error(reason::out_of_range, std::to_string(x) + " is out of range for float");
    return static_cast<float>(x);
}

boost::any double_of(const declared_type& d, const boost::any& v) { return real_of(d, v); }

boost::any enum_of(const declared_type& d, const boost::any& v) {
    if (const std::string* name = held<std::string>(v)) {
        for (std::size_t i = 0; i < d.choices.size(); ++i)
            if (d.choices[i] == *name) return static_cast<int>(i);
        std::string known;
        for (const std::string& c : d.choices) known += (known.empty() ? "" : ", ") + c;
        if (d.choices.empty())
            throw value_error(reason::unknown_choice,
                              "'" + *name + "': the enum's choices are not known; give its index");
        throw value_error(reason::unknown_choice, "'" + *name + "' is not a choice of the enum (" + known + ")");
    }
    number n;
    if (!as_number(v, n) || !n.integral) wrong_type(d, v);
    // Without known choices any index a device could hold passes.
    const unsigned long long count = d.choices.empty() ? 1ULL + std::numeric_limits<int>::max() : d.choices.size();
    if (n.negative || n.magnitude >= count)
        throw value_error(reason::out_of_range, integer_text(n) + " is out of range for the enum (choice 0 to " +
                                                    std::to_string(count - 1) + ")");
    return static_cast<int>(n.magnitude);
}

boost::any string_of(const declared_type& d, const boost::any& v) {
    if (const std::string* s = held<std::string>(v)) return *s;
    wrong_type(d, v);
}

boost::any float_vector_of(const declared_type& d, const boost::any& v) {
    if (const auto* xs = held<std::vector<float>>(v)) return *xs;
    const declared_type element{"float", {}};
    if (const auto* xs = held<std::vector<double>>(v)) {
        std::vector<float> out;
        out.reserve(xs->size());
        for (const double x : *xs) out.push_back(boost::any_cast<float>(float_of(element, x)));
        return out;
    }
    const auto* items = held<std::vector<boost::any>>(v);
    if (items == nullptr) wrong_type(d, v);
    std::vector<float> out;
    for (const boost::any& item : *items) out.push_back(boost::any_cast<float>(float_of(element, item)));
    return out;
}

// Every declared type a write can carry, and how a loose value becomes one.
struct conversion {
    const char* type;
    boost::any (*convert)(const declared_type&, const boost::any&);
};
constexpr conversion conversions[] = {
    {"float", float_of},
    {"uint32", integer_of<unsigned int>},
    {"uint8", integer_of<unsigned char>},
    {"enum", enum_of},
    {"double", double_of},
    {"uint16", integer_of<unsigned short, unsigned int>},
    {"uint64", integer_of<unsigned long long>},
    {"int8", integer_of<signed char, int>},
    {"int16", integer_of<short, int>},
    {"int32", integer_of<int>},
    {"int64", integer_of<long long>},
    {"string", string_of},
    {"float_vector", float_vector_of},
};

bool same_float(float a, float b) {
    std::uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y || (std::isnan(a) && std::isnan(b));
}

template <class T>
bool same_as(const boost::any& a, const boost::any& b, bool& known) {
    const T* x = held<T>(a);
    const T* y = held<T>(b);
    if (x == nullptr || y == nullptr) return false;
    known = true;
    return *x == *y;
}

template <class T>
std::string shortest(T x) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, x);
    return std::string(text, written.ptr);
}

}  // namespace

boost::any convert_value(const declared_type& declared, const boost::any& loose) {
    for (const conversion& c : conversions)
        if (declared.type == c.type) return c.convert(declared, loose);
    throw value_error(reason::not_writable, "properties of type " + declared.type + " cannot be written");
}

bool same_value(const boost::any& a, const boost::any& b) {
    if (a.type() != b.type()) return false;
    if (const float* x = held<float>(a)) return same_float(*x, boost::any_cast<float>(b));
    if (const auto* xs = held<std::vector<float>>(a)) {
        const auto& ys = boost::any_cast<const std::vector<float>&>(b);
        if (xs->size() != ys.size()) return false;
        for (std::size_t i = 0; i < xs->size(); ++i)
            if (!same_float((*xs)[i], ys[i])) return false;
        return true;
    }
    if (const double* x = held<double>(a)) {
        const double y = boost::any_cast<double>(b);
        return *x == y || (std::isnan(*x) && std::isnan(y));
    }
    bool known = false;
    const bool same = same_as<unsigned int>(a, b, known) || same_as<unsigned char>(a, b, known) ||
                      same_as<int>(a, b, known) || same_as<long long>(a, b, known) ||
                      same_as<unsigned long long>(a, b, known) || same_as<std::string>(a, b, known);
    return known && same;
}

namespace {

// The elements of any kind of list a value may hold, as loose values.
bool elements_of(const boost::any& v, std::vector<boost::any>& out) {
    if (const auto* xs = held<std::vector<boost::any>>(v)) {
        out = *xs;
        return true;
    }
    if (const auto* xs = held<std::vector<float>>(v)) {
        out.assign(xs->begin(), xs->end());
        return true;
    }
    if (const auto* xs = held<std::vector<double>>(v)) {
        out.assign(xs->begin(), xs->end());
        return true;
    }
    return false;
}

}  // namespace

bool same_loose_value(const boost::any& device_value, const boost::any& loose) {
    number a, b;
    double non_finite;
    if (as_number(device_value, a)) {
        if (non_finite_text(loose, non_finite))
            return std::isnan(a.real) ? std::isnan(non_finite) : a.real == non_finite;
        return as_number(loose, b) &&
               (a.integral && b.integral ? a.negative == b.negative && a.magnitude == b.magnitude : a.real == b.real);
    }
    if (const auto* s = held<std::string>(device_value))
        return held<std::string>(loose) && *s == *held<std::string>(loose);
    if (const auto* x = held<bool>(device_value)) return held<bool>(loose) && *x == *held<bool>(loose);
    if (device_value.empty() || held<nil>(device_value)) return loose.empty() || held<nil>(loose);
    std::vector<boost::any> xs, ys;
    if (elements_of(device_value, xs)) {
        if (!elements_of(loose, ys) || xs.size() != ys.size()) return false;
        for (std::size_t i = 0; i < xs.size(); ++i)
            if (!same_loose_value(xs[i], ys[i])) return false;
        return true;
    }
    const auto* x = held<fifo::object>(device_value);
    const auto* y = held<fifo::object>(loose);
    if (x == nullptr || y == nullptr || x->size() != y->size()) return false;
    for (const auto& kv : *x) {
        const auto other = y->find(kv.first);
        if (other == y->end() || !same_loose_value(kv.second, other->second)) return false;
    }
    return true;
}

std::string value_text(const declared_type& declared, const boost::any& value) {
    if (const int* x = held<int>(value)) {
        if (declared.type == "enum" && *x >= 0 && static_cast<std::size_t>(*x) < declared.choices.size())
            return plan_word(declared.choices[static_cast<std::size_t>(*x)]);
        return std::to_string(*x);
    }
    if (const float* x = held<float>(value)) return shortest(*x);
    if (const double* x = held<double>(value)) return shortest(*x);
    if (const auto* x = held<unsigned int>(value)) return std::to_string(*x);
    if (const auto* x = held<unsigned char>(value)) return std::to_string(unsigned{*x});
    if (const auto* x = held<long long>(value)) return std::to_string(*x);
    if (const auto* x = held<unsigned long long>(value)) return std::to_string(*x);
    if (const auto* x = held<std::string>(value)) return quoted(*x);
    if (const auto* xs = held<std::vector<float>>(value)) {
        std::string out("[");
        for (std::size_t i = 0; i < xs->size(); ++i) out += (i ? "," : "") + shortest((*xs)[i]);
        return out + "]";
    }
    return "?";
}

property to_property(const std::string& name, const boost::any& value) {
    if (const float* x = held<float>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<unsigned int>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<unsigned char>(value)) return std::make_pair(name, *x);
    if (const int* x = held<int>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<long long>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<unsigned long long>(value)) return std::make_pair(name, *x);
    if (const double* x = held<double>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<std::string>(value)) return std::make_pair(name, *x);
    if (const auto* x = held<std::vector<float>>(value)) return std::make_pair(name, *x);
    throw value_error(reason::not_writable, "property " + name + ": a value of this type cannot be written");
}

}  // namespace fb
}  // namespace tarn
