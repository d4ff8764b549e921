// SPDX-License-Identifier: MIT
#include <tarn/exception.hpp>

namespace tarn {
namespace exception {

exception::exception(const std::string& message) : std::runtime_error(message) {}

// Out of line so that the class's vtable and type info live in libtarn.so.1.
exception::~exception() = default;

}  // namespace exception
}  // namespace tarn
