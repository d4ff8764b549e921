// SPDX-License-Identifier: MIT
// The next value of any scalar type as a double (pop_as_double) or as text
// (pop_as_string). Both read the payloads themselves: unlike the typed pops
// they take an incomplete scalar payload as a zero instead of failing.
#include <array>
#include <cstring>
#include <string>
#include <type_traits>

#include <tarn/fb/fifo.hpp>

namespace tarn {
namespace fb {

using detail::load32;
using detail::region;

namespace {

template <class T>
T load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <>
bool load<bool>(const unsigned char* p) {
    return wire<bool>::decode(p);
}

template <class T>
double number_of(const unsigned char* p) {
    return static_cast<double>(load<T>(p));
}
// std::to_string formats as "%d", "%u", "%lld", "%llu" and "%f"; narrower
// integers are promoted to int, so an unsigned char shows as a number.
template <class T>
std::string text_of(const unsigned char* p) {
    return std::to_string(load<T>(p));
}
template <>
std::string text_of<bool>(const unsigned char* p) {
    return load<bool>(p) ? "true" : "false";
}

// A fixed-size payload and how it converts.
struct scalar {
    std::uint32_t tag;
    std::uint32_t size;
    double (*number)(const unsigned char*);
    std::string (*text)(const unsigned char*);
};
template <class T>
constexpr scalar scalar_of() {
    return {wire<T>::tag, wire<T>::size, &number_of<T>, &text_of<T>};
}
// The numbers of the value types and the 16-bit one no typed pop reads.
template <class... T>
constexpr auto scalars_of(type_list<T...>) {
    constexpr std::size_t count = (0 + ... + std::size_t{std::is_arithmetic_v<T>});
    std::array<scalar, count + 1> table{scalar_of<unsigned short>()};
    std::size_t next = 1;
    (..., [&] {
        if constexpr (std::is_arithmetic_v<T>) table[next++] = scalar_of<T>();
    }());
    return table;
}
constexpr auto scalars = scalars_of(value_types{});
const scalar* scalar_for(std::uint32_t tag) {
    for (const scalar& s : scalars)
        if (s.tag == tag) return &s;
    return nullptr;
}
// The element type of a numeric vector.
const scalar& element_of(std::uint32_t vector_tag) {
    return *scalar_for(vector_tag == tag_float_vector ? tag_float : tag_double);
}

// An incomplete payload reads as a zero of its type.
constexpr unsigned char zeros[8] = {};

// A scalar payload found in the stream, ready to convert.
struct found {
    const scalar& type;
    const unsigned char* payload;
};

// The unread bytes after a consumed tag; take() consumes from the front.
class unread {
public:
    unread(region r, const unsigned char* at, std::uint32_t left) : r_(r), at_(at), left_(left) {}

    // The next n bytes, consumed; nullptr (nothing consumed) when fewer are unread.
    const unsigned char* take(std::uint64_t n) {
        if (n > left_) return nullptr;
        const unsigned char* p = at_;
        at_ += n;
        left_ -= static_cast<std::uint32_t>(n);
        r_.add(detail::read_cursor, static_cast<std::uint32_t>(n));
        return p;
    }

private:
    region r_;
    const unsigned char* at_;
    std::uint32_t left_;
};

// A numeric vector converts as its first element; the others are consumed.
found first_element(unread& in, std::uint32_t tag) {
    const unsigned char* count = in.take(4);
    if (count == nullptr) throw fifo::error("array empty");
    const std::uint32_t n = load32(count);
    if (n == 0) throw fifo::error("array empty");
    const scalar& element = element_of(tag);
    const unsigned char* elements = in.take(std::uint64_t{n} * element.size);
    if (elements == nullptr) throw fifo::error("array incomplete");
    return {element, elements};
}

// The messages and results that differ between the two conversions.
struct to_double {
    using result = double;
    static constexpr const char* no_tag = "pop_as_double: could no retrieve type";
    static constexpr const char* bad_tag = "pop_as_double: unsupported function block fifo type";
    static constexpr bool reads_strings = false;
    static constexpr const char* no_number = "pop_as_double: no number";
    static double convert(const found& v) { return v.type.number(v.payload); }
    static double nil() { throw fifo::error("pop_as_double: no value available in function block fifo"); }
};
struct to_text {
    using result = std::string;
    static constexpr const char* no_tag = "pop_as_string: could no retrieve type";
    static constexpr const char* bad_tag = "pop_as_string: unknown type";
    static constexpr bool reads_strings = true;
    static std::string convert(const found& v) { return v.type.text(v.payload); }
    static std::string nil() { return "nil"; }
};

// A string as text: its characters without the NUL. A missing length word is
// the empty text; a length of 0 or missing characters is no text at all.
std::string string_text(unread& in) {
    const unsigned char* length = in.take(4);
    if (length == nullptr) return {};
    const std::uint32_t n = load32(length);
    const unsigned char* chars = n == 0 ? nullptr : in.take(n);
    if (chars == nullptr) throw fifo::error("pop_as_string: incomplete string");
    return std::string(reinterpret_cast<const char*>(chars), n - 1);
}

template <class To>
typename To::result convert(unsigned char* header) {
    region r(header);
    const auto in = r.unread(4);
    if (!in) throw fifo::error(To::no_tag);
    const std::uint32_t tag = load32(in->at);
    if (tag < tag_int8 || tag > tag_bool) throw fifo::error(To::bad_tag);
    if constexpr (!To::reads_strings) {
        if (tag == tag_string) throw fifo::error(To::no_number);  // left unread for pop<std::string>
    }

    r.add(detail::pop_count, 1);
    r.add(detail::read_cursor, 4);
    unread rest(r, in->at + 4, in->size - 4);
    if constexpr (To::reads_strings) {
        if (tag == tag_string) return string_text(rest);
    }
    if (tag == tag_nil) {
        rest.take(wire<nil>::size);  // the payload byte, when it is there
        return To::nil();
    }
    if (tag == tag_float_vector || tag == tag_double_vector) return To::convert(first_element(rest, tag));
    const scalar& type = *scalar_for(tag);
    const unsigned char* payload = rest.take(type.size);
    return To::convert({type, payload != nullptr ? payload : zeros});
}

}  // namespace

double fifo::pop_as_double() { return convert<to_double>(reply_header); }

std::string fifo::pop_as_string() { return convert<to_text>(reply_header); }

}  // namespace fb
}  // namespace tarn
