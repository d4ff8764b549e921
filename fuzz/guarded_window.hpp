// SPDX-License-Identifier: MIT
#pragma once
// A 1 MiB window below 4 GiB between two inaccessible pages, so that any
// read or write just outside it faults at once. Both regions are formatted as
// the session formats them.
#include <cstdint>
#include <vector>

#include <tarn/fb/fifo.hpp>
#include <tarn/fb/region.hpp>

namespace fuzzing {

class guarded_window {
public:
    guarded_window();
    ~guarded_window();
    guarded_window(const guarded_window&) = delete;
    guarded_window& operator=(const guarded_window&) = delete;

    unsigned char* base() const { return base_; }
    unsigned char* request_header() const { return base_; }
    unsigned char* reply_header() const;
    // The last byte of the window is end() - 1; end() is the first guard byte.
    unsigned char* end() const;

    // A value stream over this window as the client sees it.
    tarn::fb::fifo client() const { return tarn::fb::fifo(request_header(), reply_header()); }

private:
    unsigned char* mapping_ = nullptr;
    unsigned char* base_ = nullptr;
};

// How a test input's header words are laid into a region header.
enum class header_layout {
    formatted,  // the region as the session formats it, cursors around the data
    offsets,    // the words begin, end and both cursors taken from the input as
                // offsets from the header's own address; the counters as given
    raw,        // all six words taken from the input as they are
};

// Writes `words` (six, for the offsets and raw layouts) into the region at
// `header` and copies `data` into it: at the start of the data area, or, for
// the formatted layout with `at_end`, so that it ends where the region ends
// (then reading past the data faults when the region ends at the window's end).
// Returns false, writing nothing, when `data` does not fit.
bool lay_region(unsigned char* header, header_layout layout, const std::uint32_t* words,
                const std::vector<unsigned char>& data, bool at_end);

// Six little-endian words from `p`.
void read_words(const unsigned char* p, std::uint32_t* words);

}  // namespace fuzzing
