// SPDX-License-Identifier: MIT
#include "window_device.hpp"

#include <cerrno>

#include "device_interposer.hpp"

namespace {

// Lays the planned reply into the guarded window at every ioctl.
class planned_device : public device_interposer::handler {
public:
    planned_device() { device_interposer::install(this); }
    unsigned char* window() override { return window_device::window().base(); }
    int execute(unsigned long) override {
        if (planned.ioctl_fails) {
            errno = EIO;
            return -1;
        }
        fuzzing::lay_region(window_device::window().reply_header(), planned.layout, planned.words, planned.data, true);
        return 0;
    }
    window_device::reply planned;
};

planned_device& dev() {
    static planned_device d;
    return d;
}

}  // namespace

void window_device::plan(const reply& r) { dev().planned = r; }

fuzzing::guarded_window& window_device::window() {
    static fuzzing::guarded_window w;
    return w;
}
