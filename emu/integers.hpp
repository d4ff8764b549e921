// SPDX-License-Identifier: MIT
#pragma once
// Integers of any of the value types, compared and converted without loss:
// a sign and a 64-bit magnitude hold every value from int64 min to uint64 max.
#include <cstdint>
#include <limits>
#include <type_traits>

namespace fbemu {

struct integer {
    bool negative = false;
    unsigned long long magnitude = 0;

    template <class T>
    static integer of(T v) {
        integer i;
        if constexpr (std::is_signed_v<T>) {
            i.negative = v < 0;
            const auto s = static_cast<long long>(v);  // NOLINT(bugprone-signed-char-misuse): numbers
            i.magnitude = i.negative ? 0ull - static_cast<unsigned long long>(s) : static_cast<unsigned long long>(s);
        } else {
            i.magnitude = v;
        }
        return i;
    }

    // Whether the value lies in T's range.
    template <class T>
    bool fits() const {
        const auto max = static_cast<unsigned long long>(std::numeric_limits<T>::max());
        if (!negative) return magnitude <= max;
        return std::is_signed_v<T> && magnitude <= max + 1;
    }

    // The value as a T; only when fits<T>().
    template <class T>
    T as() const {
        if (!negative) return static_cast<T>(magnitude);
        return static_cast<T>(-static_cast<long long>(magnitude - 1) - 1);
    }
};

}  // namespace fbemu
