// SPDX-License-Identifier: MIT
// cxx-floor: the smallest C++ program that writes a line through iostream.
// Its whole-process figures are the start-up cost of the C++ runtime, which
// every program linked against libtarn.so.1 (itself C++) pays before main.
#include <iostream>

int main() {
    std::cout << "patchbay finished" << std::endl;
    return 0;
}
