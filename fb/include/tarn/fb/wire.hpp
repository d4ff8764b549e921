// SPDX-License-Identifier: MIT
#pragma once
// The encoding as data: for every value type its tag, payload size and the
// name its failure messages carry ("push<" name ">" + " failed"). One push and
// one pop implementation in fifo.hpp serve every scalar type from this table.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace tarn {
namespace fb {

// An empty value: present, but carrying nothing.
struct nil {};

enum tag : std::uint32_t {
    tag_int8 = 100,
    tag_int16 = 101,
    tag_int32 = 102,
    tag_int64 = 103,
    tag_uint8 = 104,
    tag_uint16 = 105,
    tag_uint32 = 106,
    tag_uint64 = 107,
    tag_string = 108,
    tag_double = 109,
    tag_float = 110,
    tag_float_vector = 111,
    tag_double_vector = 112,
    tag_nil = 113,
    tag_bool = 114,
    tag_array_begin = 115,
    tag_array_end = 116,
    tag_object_begin = 117,
    tag_object_end = 118,
};

static_assert(sizeof(float) == 4 && sizeof(double) == 8 && sizeof(long long) == 8,
              "the encoding needs IEEE-754 binary32/binary64 and 64-bit long long");

template <class T>
struct wire;  // only the types of the encoding have an entry

// Plain scalars: the payload is the value's little-endian image.
template <class T, std::uint32_t Tag, const char* const& Name>
struct scalar_wire {
    static constexpr std::uint32_t tag = Tag;
    static constexpr std::uint32_t size = sizeof(T);
    static const char* name() { return Name; }
    static void encode(unsigned char* p, T v) { std::memcpy(p, &v, sizeof v); }
    static T decode(const unsigned char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
};

namespace names {
inline constexpr const char* int8 = "signed char";
inline constexpr const char* int16 = "short int";
inline constexpr const char* int32 = "int";
inline constexpr const char* int64 = "long long int";
inline constexpr const char* uint8 = "unsigned char";
inline constexpr const char* uint32 = "unsigned int";
inline constexpr const char* uint64 = "long long unsigned int";
inline constexpr const char* float32 = "float";
inline constexpr const char* float64 = "double";
inline constexpr const char* boolean = "bool";
inline constexpr const char* nil = "tarn::fb::nil";
inline constexpr const char* string = "std::__cxx11::basic_string<char> ";
inline constexpr const char* float_vector = "std::vector<float> ";
inline constexpr const char* double_vector = "std::vector<double> ";
}  // namespace names

template <>
struct wire<signed char> : scalar_wire<signed char, tag_int8, names::int8> {};
template <>
struct wire<short> : scalar_wire<short, tag_int16, names::int16> {};
template <>
struct wire<int> : scalar_wire<int, tag_int32, names::int32> {};
template <>
struct wire<long long> : scalar_wire<long long, tag_int64, names::int64> {};
template <>
struct wire<unsigned char> : scalar_wire<unsigned char, tag_uint8, names::uint8> {};
template <>
struct wire<unsigned int> : scalar_wire<unsigned int, tag_uint32, names::uint32> {};
template <>
struct wire<unsigned long long> : scalar_wire<unsigned long long, tag_uint64, names::uint64> {};
template <>
struct wire<float> : scalar_wire<float, tag_float, names::float32> {};
template <>
struct wire<double> : scalar_wire<double, tag_double, names::float64> {};

// bool travels as a 32-bit word: 1 or 0 when written, any nonzero word is true.
template <>
struct wire<bool> {
    static constexpr std::uint32_t tag = tag_bool;
    static constexpr std::uint32_t size = 4;
    static const char* name() { return names::boolean; }
    static void encode(unsigned char* p, bool v) {
        const std::uint32_t w = v ? 1 : 0;
        std::memcpy(p, &w, 4);
    }
    static bool decode(const unsigned char* p) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        return w != 0;
    }
};

// The unsigned 16-bit value has no typed push or pop; only the conversions
// read it.
template <>
struct wire<unsigned short> {
    static constexpr std::uint32_t tag = tag_uint16;
    static constexpr std::uint32_t size = 2;
};

// nil has one payload byte whose content is ignored; it is never pushed.
template <>
struct wire<nil> {
    static constexpr std::uint32_t tag = tag_nil;
    static constexpr std::uint32_t size = 1;
    static const char* name() { return names::nil; }
    static nil decode(const unsigned char*) { return {}; }
};

// Variable-length values: a length or count word, then the bytes.
template <>
struct wire<std::string> {
    static constexpr std::uint32_t tag = tag_string;
    static const char* name() { return names::string; }
};
template <>
struct wire<std::vector<float>> {
    static constexpr std::uint32_t tag = tag_float_vector;
    static const char* name() { return names::float_vector; }
};
template <>
struct wire<std::vector<double>> {
    static constexpr std::uint32_t tag = tag_double_vector;
    static const char* name() { return names::double_vector; }
};

template <class... T>
struct type_list {};
template <class T>
struct type_tag {
    using type = T;
};

// Every type a typed pop reads, in tag order: the one list that the dynamic
// values, the conversions, the entry readers and the programs that hand
// values on walk.
using value_types = type_list<signed char, short, int, long long, unsigned char, unsigned int, unsigned long long,
                              std::string, double, float, std::vector<float>, std::vector<double>, nil, bool>;

// Whether T's payload has a fixed size (wire<T>::size).
template <class T, class = void>
struct fixed_size : std::false_type {};
template <class T>
struct fixed_size<T, std::void_t<decltype(wire<T>::size)>> : std::true_type {};

// Calls f(type_tag<T>{}) for the type T of `list` whose tag is `tag`; false
// when none has it.
template <class F, class... T>
constexpr bool visit_tag(std::uint32_t tag, F&& f, type_list<T...>) {
    return (... || (tag == wire<T>::tag && (f(type_tag<T>{}), true)));
}
template <class F>
constexpr bool visit_tag(std::uint32_t tag, F&& f) {
    return visit_tag(tag, f, value_types{});
}

// Payload bytes of a fixed-size value with the given tag; 0 for strings,
// vectors, markers and unknown tags.
constexpr std::uint32_t payload_size(std::uint32_t t) {
    std::uint32_t size = 0;
    const auto size_of = [&size](auto type) {
        using T = typename decltype(type)::type;
        if constexpr (fixed_size<T>::value) size = wire<T>::size;
    };
    visit_tag(t, size_of, type_list<unsigned short>{}) || visit_tag(t, size_of);
    return size;
}

}  // namespace fb
}  // namespace tarn
