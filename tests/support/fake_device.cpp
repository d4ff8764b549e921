// SPDX-License-Identifier: MIT
// A device that records each request and answers with a hand-built reply.
#include "fake_device.hpp"

#include "device_interposer.hpp"
#include "window.hpp"

namespace {

class fake : public device_interposer::handler {
public:
    fake() { device_interposer::install(this); }

    bool present() override {
        ++opens;
        return is_present;
    }
    int open_error() override {
        const int absent = handler::open_error();
        return absent != 0 ? absent : open_refusal;
    }
    int map_error() override { return map_refusal; }
    unsigned char* window() override { return memory().base; }
    int execute(unsigned long request) override {
        requests.push_back({request, memory().request_bytes()});
        memory().set_reply(reply);
        return result;
    }

    std::vector<unsigned char> reply;
    int result = 0;
    bool is_present = true;
    int open_refusal = 0;
    int map_refusal = 0;
    int opens = 0;
    std::vector<fake_device::request> requests;

private:
    testing_support::window& memory() {
        static testing_support::window w;  // kept for the whole run; sessions come and go
        return w;
    }
};

// Reached through a function so that calls before static initialisation find it.
fake& dev() {
    static fake d;
    return d;
}
// Installed before main, so sessions built by test fixtures find it.
const bool installed_at_start = (dev(), true);

}  // namespace

void fake_device::answer(const std::vector<unsigned char>& reply, int result) {
    dev().reply = reply;
    dev().result = result;
    dev().requests.clear();
}
const std::vector<fake_device::request>& fake_device::requests() { return dev().requests; }
void fake_device::set_present(bool present) { dev().is_present = present; }
int fake_device::open_count() { return dev().opens; }
void fake_device::refuse(int open_errno, int map_errno) {
    dev().open_refusal = open_errno;
    dev().map_refusal = map_errno;
}
