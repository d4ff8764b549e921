// SPDX-License-Identifier: MIT
// A program of another project using the installed libtarn-fb: it lists the
// device's factories and reports the library's failures through the
// exception classes of the installed headers.
//   exit status 0: listed; 2: the device failed; 1: anything else
#include <iostream>

#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/fifo.hpp>

int main() {
    // A stream over a region that was never laid out refuses to read.
    unsigned char region[64] = {};
    tarn::fb::fifo stream(region, region);
    try {
        stream.pop<int>();
        std::cout << "read from a region without a header\n";
        return 1;
    } catch (const tarn::exception::exception& e) {
        std::cout << "fifo: " << e.what() << '\n';
    }

    try {
        for (const auto& name : tarn::fb::driver::instance().list_factories()) std::cout << "factory " << name << '\n';
    } catch (const tarn::fb::driver::error& e) {
        std::cout << "device: error " << e.code << ": " << e.what() << '\n';
        return 2;
    }
    return 0;
}
