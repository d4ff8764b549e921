// SPDX-License-Identifier: MIT
#pragma once
// The values every encoder is measured with: the same seven values for the
// value stream, msgpack-c and memcpy, so their times compare row by row.
#include <cstddef>
#include <string>
#include <vector>

#include <tarn/fb/fifo.hpp>

namespace bench {

using object = tarn::fb::fifo::object;

struct samples {
    int integer;
    double real;
    std::string short_text;           // 16 characters
    std::string long_text;            // 1 KiB
    std::vector<float> small_vector;  // 64 elements
    std::vector<float> large_vector;  // 4096 elements
    object mixed;                     // 8 entries of different types
};

const samples& the_samples();

// Visits every sample with its row name, in table order.
template <class F>
void for_each_sample(F&& visit) {
    const samples& s = the_samples();
    visit("int", s.integer);
    visit("double", s.real);
    visit("string16", s.short_text);
    visit("string1k", s.long_text);
    visit("vector64", s.small_vector);
    visit("vector4096", s.large_vector);
    visit("object8", s.mixed);
}

// The bytes of content a value carries: what memcpy moves for it. Strings
// count their characters, vectors their elements, objects their keys'
// characters and their values' bytes.
std::size_t payload_bytes(int);
std::size_t payload_bytes(double);
std::size_t payload_bytes(const std::string& s);
std::size_t payload_bytes(const std::vector<float>& v);
std::size_t payload_bytes(const object& o);

// Whether a value came back from a round trip unchanged. Objects compare
// their keys and their entries' values as numbers or text, because an
// encoder may bring an entry back as another type of the same value
// (msgpack-c has one integer type).
template <class T>
bool same_value(const T& a, const T& b) {
    return a == b;
}
bool same_value(const object& a, const object& b);

}  // namespace bench
