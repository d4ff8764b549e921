// SPDX-License-Identifier: MIT
#pragma once
// Hand-made reply streams for the value tests.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "window.hpp"

namespace testing_support {

struct stream {
    std::vector<unsigned char> bytes;

    stream& tag(std::uint32_t word) {  // also a bare length or count word
        put32(bytes, word);
        return *this;
    }
    stream& raw(std::initializer_list<unsigned char> b) {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    template <class T>
    stream& payload(T v) {
        unsigned char image[sizeof v];
        std::memcpy(image, &v, sizeof v);
        bytes.insert(bytes.end(), image, image + sizeof v);
        return *this;
    }
    template <class T>
    stream& scalar(std::uint32_t t, T v) {
        return tag(t).payload(v);
    }
    stream& i32(std::int32_t v) { return scalar(tarn::fb::tag_int32, v); }
    stream& str(const std::string& s) {
        put_string(bytes, s);
        return *this;
    }
    stream& nil() { return tag(tarn::fb::tag_nil).raw({0}); }
    stream& then(const stream& more) {
        bytes.insert(bytes.end(), more.bytes.begin(), more.bytes.end());
        return *this;
    }
};

}  // namespace testing_support
