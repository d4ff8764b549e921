// SPDX-License-Identifier: MIT
// exchange-counts: one create exchange and one listing of the factories
// through the real session, for callgrind. Run under the emulator's shim with
// the 100-factory catalog; bench/run counts instructions only inside
// measured_create and measured_listing and not inside the shim's ioctl (the
// device's side), which leaves the client's side of each exchange. Unless
// --cold is given, both exchanges run once before, so that the counts are
// those of a warm process (no lazy symbol binding, no first-use set-up).
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <tarn/fb/driver.hpp>

using tarn::fb::driver;

__attribute__((noinline)) unsigned int measured_create(driver& d, const std::string& factory, const std::string& name) {
    return d.create(factory, name);
}

__attribute__((noinline)) std::size_t measured_listing(driver& d) { return d.list_factories().size(); }

int main(int argc, char** argv) {
    const bool cold = argc > 1 && std::strcmp(argv[1], "--cold") == 0;
    try {
        driver& d = driver::instance();
        const std::string factory("factory_042"), name("bench_block");
        if (!cold) {
            d.destroy(d.create(factory, name));
            d.list_factories();
        }
        d.destroy(measured_create(d, factory, name));
        if (measured_listing(d) != 100) {
            std::cerr << "exchange-counts: the catalog has not 100 factories\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "exchange-counts: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
