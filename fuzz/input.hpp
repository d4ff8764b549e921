// SPDX-License-Identifier: MIT
#pragma once
// Reading a fuzz input from the front: a few control bytes, then the payload.
// Missing bytes read as zero, so every input is a valid one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "guarded_window.hpp"

namespace fuzzing {

class input {
public:
    input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // Six header words; zero where the input has ended.
    void words(std::uint32_t* w) {
        unsigned char b[24] = {};
        for (unsigned char& c : b) c = byte();
        read_words(b, w);
    }

    std::vector<unsigned char> rest() {
        std::vector<unsigned char> r(data_ + at_, data_ + size_);
        at_ = size_;
        return r;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Stops the run with a message: libFuzzer reports it as a crash and keeps the input.
[[noreturn]] inline void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}
inline void require(bool ok, const char* what) {
    if (!ok) violated(what);
}

// The header layout named by the low two bits of a control byte.
inline header_layout layout_of(std::uint8_t control) {
    switch (control & 3) {
    case 1: return header_layout::offsets;
    case 2: return header_layout::raw;
    default: return header_layout::formatted;
    }
}

}  // namespace fuzzing
