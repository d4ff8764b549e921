// SPDX-License-Identifier: MIT
// Parsing FBEMU_FAULT and doing the damage.
#include "faults.hpp"

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/region.hpp>

#include "failure.hpp"

namespace fbemu {
namespace {

struct kind_name {
    const char* name;
    fault kind;
};
const kind_name kinds[] = {
    {"ioctl", fault::ioctl},
    {"status", fault::status},
    {"status-bare", fault::status_bare},
    {"status-code", fault::status_code},
    {"truncate", fault::truncate},
    {"corrupt", fault::corrupt},
    {"cursor", fault::cursor},
};

constexpr int injected_status = 7;
constexpr std::uint32_t invalid_tag = 999;

}  // namespace

fault_plan parse_fault(const std::string& text) {
    const auto at = text.find('@');
    const std::string name = text.substr(0, at);
    fault_plan plan;
    bool known = false;
    for (const auto& k : kinds)
        if (name == k.name) plan.kind = k.kind, known = true;
    if (!known)
        throw failure(err_bad_environment,
                      "FBEMU_FAULT: unknown fault kind '" + name +
                          "' (ioctl, status, status-bare, status-code, truncate, corrupt, cursor)");
    if (at != std::string::npos) {
        const std::string count = text.substr(at + 1);
        char* end = nullptr;
        errno = 0;
        const unsigned long n = count.empty() || count[0] == '-' ? 0 : std::strtoul(count.c_str(), &end, 10);
        if (n == 0 || errno != 0 || !end || *end != '\0')
            throw failure(err_bad_environment, "FBEMU_FAULT: '" + count + "' is not an ioctl number from 1 on");
        plan.at = n;
    }
    return plan;
}

fault next_fault() {
    static std::mutex mutex;
    static std::string seen;
    static unsigned long count = 0;
    std::lock_guard<std::mutex> lock(mutex);
    const char* env = std::getenv("FBEMU_FAULT");
    const std::string text = env ? env : "";
    if (text != seen) {
        seen = text;
        count = 0;
    }
    ++count;
    if (text.empty()) return fault::none;
    const fault_plan plan = parse_fault(text);
    return count == plan.at ? plan.kind : fault::none;
}

bool replaces_reply(fault f) { return f == fault::status || f == fault::status_bare || f == fault::status_code; }

void write_fault_reply(fault f, tarn::fb::fifo& out) {
    out.push<int>(injected_status);
    if (f == fault::status_bare) return;
    out.push<int>(err_injected);
    if (f == fault::status_code) return;
    out.push<std::string>("injected fault");
}

void damage_reply(fault f, unsigned char* reply_header) {
    using namespace tarn::fb::detail;
    region r(reply_header);
    const std::uint32_t b = r.word(begin), wc = r.word(write_cursor);
    switch (f) {
    case fault::truncate:
        if (wc > b) r.set(write_cursor, wc - 1);
        break;
    case fault::corrupt: {
        // The status is an int: 8 bytes. Without a value after it, its own tag.
        const std::uint32_t target = wc >= b + 12 ? b + 8 : b;
        store32(reply_header + (target - b) + tarn::fb::region_header_size, invalid_tag);
        break;
    }
    case fault::cursor:
        // Reading would start in the request region and run past the window.
        r.set(read_cursor, b - tarn::fb::reply_offset);
        r.set(write_cursor, r.word(end) + 64);
        break;
    default: break;
    }
}

}  // namespace fbemu
