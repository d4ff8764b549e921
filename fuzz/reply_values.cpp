// SPDX-License-Identifier: MIT
// Hostile reply bytes against every reader of the value stream: the typed
// pops, pop_any, the array and object pops, both conversions and the
// property and port entry readers, in an order the input chooses.
//
// Input: a control byte (bits 0-1: header layout, see guarded_window.hpp);
// for the offsets and raw layouts six header words; a byte n and n % 16 + 1
// operation bytes; then the reply data. In the formatted layout the data ends
// where the window ends, so reading one byte past it faults.
//
// Every read must either succeed or throw tarn::fb::fifo::error; none may
// write the reply header other than its read cursor and pop count, move the
// read cursor back, or move it past the write cursor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <tarn/fb/entries.hpp>
#include <tarn/fb/fifo.hpp>

#include "guarded_window.hpp"
#include "input.hpp"

namespace {

namespace fb = tarn::fb;
namespace detail = tarn::fb::detail;
using fuzzing::require;

// A whole table as the listing front end reads it: a count, then the entries.
template <class Entry>
void read_table(fb::fifo& f, Entry (*read_entry)(fb::fifo&)) {
    const int count = f.pop<int>();
    for (int i = 0; i < count; ++i) read_entry(f);
}

void run(fb::fifo& f, std::uint8_t op) {
    switch (op % 23) {
    case 0: f.pop<signed char>(); break;
    case 1: f.pop<short>(); break;
    case 2: f.pop<int>(); break;
    case 3: f.pop<long long>(); break;
    case 4: f.pop<unsigned char>(); break;
    case 5: f.pop<unsigned int>(); break;
    case 6: f.pop<unsigned long long>(); break;
    case 7: f.pop<float>(); break;
    case 8: f.pop<double>(); break;
    case 9: f.pop<bool>(); break;
    case 10: f.pop<fb::nil>(); break;
    case 11: f.pop<std::string>(); break;
    case 12: f.pop<std::vector<float>>(); break;
    case 13: f.pop<std::vector<double>>(); break;
    case 14: f.pop<fb::fifo::array>(); break;
    case 15: f.pop<fb::fifo::object>(); break;
    case 16: f.pop_any(); break;
    case 17: f.pop_as_double(); break;
    case 18: f.pop_as_string(); break;
    case 19: fb::pop_property_entry(f); break;
    case 20: fb::pop_port_entry(f); break;
    case 21: read_table(f, fb::pop_property_entry); break;
    case 22: read_table(f, fb::pop_port_entry); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::guarded_window window;
    fuzzing::input in(data, size);
    const fuzzing::header_layout layout = fuzzing::layout_of(in.byte());
    std::uint32_t words[6] = {};
    if (layout != fuzzing::header_layout::formatted) in.words(words);
    std::vector<std::uint8_t> ops(in.byte() % 16 + 1);
    for (std::uint8_t& op : ops) op = in.byte();
    if (!fuzzing::lay_region(window.reply_header(), layout, words, in.rest(), true)) return -1;

    fb::fifo f = window.client();
    detail::region r(window.reply_header());
    const std::uint32_t begin = r.word(detail::begin), end = r.word(detail::end);
    const std::uint32_t write = r.word(detail::write_cursor);
    for (std::uint8_t op : ops) {
        const std::uint32_t before = r.word(detail::read_cursor);
        try {
            run(f, op);
        } catch (const fb::fifo::error&) {
            // A clean refusal; the next read goes on from where this one stopped.
        }
        const std::uint32_t after = r.word(detail::read_cursor);
        require(r.word(detail::begin) == begin && r.word(detail::end) == end && r.word(detail::write_cursor) == write,
                "a read changed begin, end or the write cursor");
        require(after == before || (before < after && after <= write), "the read cursor moved back or past the data");
    }
    return 0;
}
