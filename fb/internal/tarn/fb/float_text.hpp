// SPDX-License-Identifier: MIT
#pragma once
// Floating-point numbers for text formats that hold only finite decimals
// (JSON): the shortest decimal of a float, and the words for the others.
#include <charconv>
#include <cmath>
#include <type_traits>

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

// `x` as a JSON value of type Json: the word for a number that is not
// finite, a float as its shortest decimal, a double as it is.
template <class Json, class T>
Json json_number(T x) {
    static_assert(std::is_floating_point_v<T>);
    if (const char* word = non_finite_word(x)) return Json(word);
    if constexpr (std::is_same_v<T, float>)
        return Json(shortest_decimal(x));
    else
        return Json(x);
}

}  // namespace fb
}  // namespace tarn
