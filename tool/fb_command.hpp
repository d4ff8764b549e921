// SPDX-License-Identifier: MIT
#pragma once
// The command front end: one editing operation on the process-wide session,
// with a device error reported as one line and the result -1 (and, for a
// device the process may not use, its cause and fix on standard error).
#include <cmath>
#include <iostream>
#include <string>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/failure_text.hpp>
#include <tarn/fb/property_write.hpp>

namespace command_detail {

// The ticket that "delete" takes from the value argument.
inline unsigned int ticket_of(unsigned int value) { return value; }
inline unsigned int ticket_of(int value) { return static_cast<unsigned int>(value); }
inline unsigned int ticket_of(float value) {
    // Truncated toward zero; values outside the ticket range are clamped.
    if (!(value > 0.0f)) return 0;
    if (value >= 4294967296.0f) return 4294967295u;
    return static_cast<unsigned int>(value);
}

}  // namespace command_detail

template <class T>
int fb_command(std::string command, std::string first, std::string second, T value) {
    enum operation { create, destroy, prop, connect, disconnect, none };
    static const char* const words[] = {"create", "delete", "prop", "connect", "disconnect"};
    int op = create;
    while (op != none && command != words[op]) ++op;
    if (op == none) return 0;
    try {
        tarn::fb::driver& session = tarn::fb::driver::instance();
        switch (op) {
        case create: return static_cast<int>(session.create(first, second));
        case destroy: session.destroy(command_detail::ticket_of(value)); break;
        case prop: tarn::fb::write_func_prop(session, first, second, value); break;
        case connect: session.connect(first, second); break;
        case disconnect: session.disconnect(first, second); break;
        }
    } catch (const tarn::fb::driver::error& e) {
        std::cout << "fb_command: error " << e.what() << std::endl;
        // A device the process may not use: the cause and its fix on a line of their own.
        const std::string described = tarn::fb::describe_failure(e);
        if (described != e.what()) std::cerr << "patchbay: " << described << std::endl;
        return -1;
    }
    return 0;
}
