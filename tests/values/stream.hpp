#pragma once
// Hand-made reply streams for the value tests.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "window.hpp"

namespace testing_support {

class stream {
public:
    stream& tag(std::uint32_t t) {
        put32(bytes, t);
        return *this;
    }
    stream& raw(std::initializer_list<unsigned char> b) {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    template <class T>
    stream& scalar(std::uint32_t t, T v) {
        tag(t);
        unsigned char image[sizeof v];
        std::memcpy(image, &v, sizeof v);
        bytes.insert(bytes.end(), image, image + sizeof v);
        return *this;
    }
    stream& i32(std::int32_t v) { return scalar(tarn::fb::tag_int32, v); }
    stream& str(const std::string& s) {
        put_string(bytes, s);
        return *this;
    }
    stream& nil() { return tag(tarn::fb::tag_nil).raw({0}); }
    template <class T>
    stream& vec(std::uint32_t t, const std::vector<T>& v) {
        tag(t);
        put32(bytes, static_cast<std::uint32_t>(v.size()));
        for (T e : v) {
            unsigned char image[sizeof e];
            std::memcpy(image, &e, sizeof e);
            bytes.insert(bytes.end(), image, image + sizeof e);
        }
        return *this;
    }

    std::vector<unsigned char> bytes;
};

}  // namespace testing_support
