// SPDX-License-Identifier: MIT
// write-network: writes the default network grown to N blocks as a state
// file, for the whole-process timings of bench/scale.
#include <cstdlib>
#include <exception>
#include <iostream>

#include "scale_network.hpp"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[1]) < 7) {
        std::cerr << "usage: write-network BLOCKS FILE   (BLOCKS at least 7)\n";
        return 2;
    }
    try {
        bench::write_scaled_network(argv[2], std::atoi(argv[1]));
    } catch (const std::exception& e) {
        std::cerr << "write-network: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
