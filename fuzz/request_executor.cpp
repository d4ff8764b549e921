// SPDX-License-Identifier: MIT
// Hostile requests against the emulator's request executor, on a guarded
// window (guarded_window.hpp) and a throwaway state file that every run
// starts without (the default network).
//
// Input: a control byte (bits 0-1: header layout of the request region;
// bits 2-3: the ioctl request number, 1, 0, 1 or 7); for the offsets and raw
// layouts six header words; then the request data, at the start of the
// request region's data area.
//
// The executor must not crash nor touch anything outside the window, must
// leave the request data as it was, and must place a reply that reads as a
// complete value stream: status 0 and well-formed values, or a failure
// status, an error code and a message and nothing else. A failure stores
// nothing. Request numbers other than 0 and 1 fail with ENOTTY.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tarn/fb/fifo.hpp>
#include <tarn/fb/region.hpp>

#include "executor.hpp"
#include "guarded_window.hpp"
#include "input.hpp"
#include "scratch_state.hpp"

namespace {

namespace fb = tarn::fb;
namespace detail = tarn::fb::detail;
using fuzzing::require;

const unsigned long request_numbers[] = {1, 0, 1, 7};

bool reply_read_to_end(detail::region& r) { return r.word(detail::read_cursor) == r.word(detail::write_cursor); }

// Reads the whole reply; returns its status.
int read_reply(fuzzing::guarded_window& w) {
    fb::fifo f = w.client();
    detail::region r(w.reply_header());
    require(r.word(detail::begin) == detail::address_of(w.reply_header()) + fb::region_header_size &&
                r.word(detail::end) == detail::address_of(w.end()) &&
                r.word(detail::read_cursor) == r.word(detail::begin),
            "the reply region is not laid out as the client lays it out");
    try {
        const int status = f.pop<int>();
        if (status != 0) {
            f.pop<int>();
            f.pop<std::string>();
            require(reply_read_to_end(r), "a failure reply holds more than its code and message");
            return status;
        }
        while (!reply_read_to_end(r)) f.pop_any();
        return status;
    } catch (const fb::fifo::error&) {
        fuzzing::violated("the reply is not a well-formed value stream");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fbemu::scratch_state state;
    static fuzzing::guarded_window window;
    fuzzing::input in(data, size);
    const std::uint8_t control = in.byte();
    const fuzzing::header_layout layout = fuzzing::layout_of(control);
    const unsigned long request = request_numbers[(control >> 2) & 3];
    std::uint32_t words[6] = {};
    if (layout != fuzzing::header_layout::formatted) in.words(words);
    const std::vector<unsigned char> request_data = in.rest();
    if (!fuzzing::lay_region(window.request_header(), layout, words, request_data, false)) return -1;
    state.reset();

    errno = 0;
    const int result = fbemu::execute(window.base(), request);
    const unsigned char* data_area = window.request_header() + fb::region_header_size;
    require(request_data.empty() || std::memcmp(data_area, request_data.data(), request_data.size()) == 0,
            "the executor changed the request data");
    if (request > 1) {
        require(result == -1 && errno == ENOTTY, "an unknown request number did not fail with ENOTTY");
        return 0;
    }
    require(result == 0, "the executor did not place a reply");
    if (read_reply(window) != 0) require(!state.stored(), "a failed command stored the network");
    return 0;
}
