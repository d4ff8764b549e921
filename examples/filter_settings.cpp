// SPDX-License-Identifier: MIT
// Example use of the client library: create a block, write several of its
// properties in one command, read them back, and remove the block again.
//
//   fb-example [BLOCK_NAME]
//
// Runs against the board's /dev/functionblocks, or the emulator:
//   fbemu run -- fb-example
#include <iostream>
#include <list>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>

int main(int argc, char** argv) {
    const std::string block = argc > 1 ? argv[1] : "example_filter";
    try {
        tarn::fb::driver& device = tarn::fb::driver::instance();

        const unsigned int ticket = device.create("biquad_filter", block);
        std::cout << "created " << block << ", ticket " << ticket << "\n";

        // One command writes them all, or none if the device refuses one.
        device.write_func_props(block, {
                                           std::make_pair(std::string("cutoff"), 2500.0f),
                                           std::make_pair(std::string("q"), 0.9f),
                                           std::make_pair(std::string("order"), static_cast<unsigned char>(4)),
                                           std::make_pair(std::string("mode"), 2),
                                       });

        std::cout << "cutoff = " << device.value(block + ".cutoff") << "\n";
        std::cout << "mode = " << device.value_str(block + ".mode") << "\n";

        // Several values in one command; a value that cannot be read as a
        // number (here: an unknown name) comes back as 3e20.
        const std::vector<std::string> names = {block + ".q", block + ".order", block + ".no_such_property"};
        std::vector<double> values;
        device.value(names, values);
        for (std::size_t i = 0; i < names.size(); ++i) std::cout << names[i] << " = " << values[i] << "\n";

        device.destroy(ticket);
        std::cout << "destroyed " << block << "\n";
    } catch (const std::exception& e) {
        std::cerr << "fb-example: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
