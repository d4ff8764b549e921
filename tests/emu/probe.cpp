// SPDX-License-Identifier: MIT
// A small client of the library for the launcher tests: runs one device
// operation and prints its result, or "error <code>: <message>" and exits 1.
//   probe fac | funcs FACTORY | create FACTORY NAME | destroy TICKET
#include <cstdlib>
#include <iostream>
#include <string>

#include <tarn/fb/driver.hpp>

int main(int argc, char** argv) {
    const std::string op = argc > 1 ? argv[1] : "";
    const std::string a = argc > 2 ? argv[2] : "", b = argc > 3 ? argv[3] : "";
    try {
        tarn::fb::driver device;
        if (op == "fac" || op == "funcs") {
            for (const auto& name : op == "fac" ? device.list_factories() : device.list_funcs(a))
                std::cout << name << '\n';
        } else if (op == "create") {
            std::cout << "ticket " << device.create(a, b) << '\n';
        } else if (op == "destroy") {
            device.destroy(static_cast<unsigned int>(std::strtoul(a.c_str(), nullptr, 10)));
        } else {
            std::cerr << "usage: probe fac | funcs FACTORY | create FACTORY NAME | destroy TICKET\n";
            return 2;
        }
    } catch (const tarn::fb::driver::error& e) {
        std::cout << "error " << e.code << ": " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
