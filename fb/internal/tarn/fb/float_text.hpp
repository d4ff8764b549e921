// SPDX-License-Identifier: MIT
#pragma once
// Floating-point numbers for text formats that hold only finite decimals
// (JSON): the shortest decimal of a float, and the words for the others.
#include <charconv>
#include <cmath>

namespace tarn {
namespace fb {

// The double of the shortest decimal that reads back as `f`, so that 0.8f is
// written 0.8 rather than 0.800000011920929. `f` is finite.
inline double shortest_decimal(float f) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, f);
    double d = f;
    std::from_chars(text, written.ptr, d);
    return d;
}

// "nan", "inf" or "-inf" for a number that is not finite; nullptr otherwise.
inline const char* non_finite_word(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    return nullptr;
}

}  // namespace fb
}  // namespace tarn
