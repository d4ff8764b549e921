// SPDX-License-Identifier: MIT
// A program of another project using the installed libtarn-fb and
// libtarn-fb-network: it lists the device's factories, reads the whole
// network, and reports the libraries' failures through the exception classes
// of the installed headers.
//   exit status 0: listed; 2: the device failed; 1: anything else
#include <cstddef>
#include <iostream>

#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/network.hpp>

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
        tarn::fb::driver& session = tarn::fb::driver::instance();
        for (const auto& name : session.list_factories()) std::cout << "factory " << name << '\n';
        std::size_t blocks = 0;
        for (const auto& factory : tarn::fb::read_network(session).factories) blocks += factory.blocks.size();
        std::cout << "network of " << blocks << " blocks\n";
    } catch (const tarn::fb::driver::error& e) {
        std::cout << "device: error " << e.code << ": " << e.what() << '\n';
        return 2;
    }
    return 0;
}
