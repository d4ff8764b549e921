// SPDX-License-Identifier: MIT
// The region headers' address words moved between the client's mapping of a
// window and this process's. The arithmetic is modulo 2^32 both ways, so a
// header that was wrong in the client's mapping is wrong the same way here
// and the executor's checks answer as they would in the client.
#include "foreign_window.hpp"

#include <cerrno>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/region.hpp>

#include "executor.hpp"

namespace fbemu {
namespace {

using namespace tarn::fb::detail;

void move_addresses(unsigned char* window, std::uint32_t delta) {
    for (unsigned char* header : {window, window + tarn::fb::reply_offset}) {
        region r(header);
        for (header_word w : {begin, end, read_cursor, write_cursor}) r.set(w, r.word(w) + delta);
    }
}

}  // namespace

int execute_for(unsigned char* window, std::uint32_t client_base, unsigned long request) {
    const std::uint32_t here = address_of(window);
    if (window == nullptr || here == 0) {
        errno = EFAULT;
        return -1;
    }
    const std::uint32_t delta = here - client_base;
    move_addresses(window, delta);
    const int result = execute(window, request);
    const int saved = errno;
    move_addresses(window, 0u - delta);
    errno = saved;
    return result;
}

}  // namespace fbemu
