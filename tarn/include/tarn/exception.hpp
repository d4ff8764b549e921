// SPDX-License-Identifier: MIT
#pragma once
#include <stdexcept>
#include <string>

namespace tarn {
namespace exception {

// Base of every exception thrown by the board maker's libraries.
class exception : public std::runtime_error {
public:
    explicit exception(const std::string& message);
    ~exception() override;
};

}  // namespace exception
}  // namespace tarn
