// SPDX-License-Identifier: MIT
#include "tool.hpp"

#include <iostream>
#include <stdexcept>

namespace cli {

void print(const std::string& text) {
    std::cout << text << std::flush;
    if (!std::cout) throw std::runtime_error("cannot write standard output");
}

int complain(const tool& t, const std::string& message, int status) {
    std::string line = message;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << t.name << ": " << line << std::endl;
    return status;
}

}  // namespace cli
