// SPDX-License-Identifier: MIT
#include "guarded_window.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tarn/fb/driver.hpp>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

namespace fuzzing {
namespace {

namespace fb = tarn::fb;
namespace detail = tarn::fb::detail;

std::size_t page() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }
std::size_t mapping_size() { return fb::window_size + 2 * page(); }

bool below_4gib(const void* p, std::size_t size) {
    return reinterpret_cast<std::uintptr_t>(p) + size <= 0x100000000ull;
}

// An inaccessible mapping whose every byte 32-bit addresses reach.
unsigned char* map_low(std::size_t size) {
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    void* p = MAP_FAILED;
#ifdef MAP_32BIT
    p = ::mmap(nullptr, size, PROT_NONE, flags | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED && below_4gib(p, size)) return static_cast<unsigned char*>(p);
    if (p != MAP_FAILED) ::munmap(p, size);
#endif
    for (std::uint64_t hint = 0x40000000ull; hint + size <= 0x100000000ull; hint += fb::window_size) {
        p = ::mmap(reinterpret_cast<void*>(hint), size, PROT_NONE, flags | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) continue;
        if (reinterpret_cast<std::uint64_t>(p) == hint) return static_cast<unsigned char*>(p);
        ::munmap(p, size);
    }
    return nullptr;
}

}  // namespace

guarded_window::guarded_window() {
    mapping_ = map_low(mapping_size());
    if (mapping_ == nullptr || ::mprotect(mapping_ + page(), fb::window_size, PROT_READ | PROT_WRITE) != 0) {
        std::fprintf(stderr, "guarded_window: no 1 MiB window below 4 GiB\n");
        std::abort();
    }
    base_ = mapping_ + page();
    detail::region(request_header()).format(fb::region_size);
    detail::region(reply_header()).format(fb::region_size);
}

guarded_window::~guarded_window() { ::munmap(mapping_, mapping_size()); }

unsigned char* guarded_window::reply_header() const { return base_ + fb::reply_offset; }
unsigned char* guarded_window::end() const { return base_ + fb::window_size; }

void read_words(const unsigned char* p, std::uint32_t* words) {
    for (int i = 0; i < 6; ++i) words[i] = detail::load32(p + 4 * i);
}

bool lay_region(unsigned char* header, header_layout layout, const std::uint32_t* words,
                const std::vector<unsigned char>& data, bool at_end) {
    constexpr std::uint32_t room = fb::region_size - fb::region_header_size;
    if (data.size() > room) return false;
    const auto n = static_cast<std::uint32_t>(data.size());
    detail::region r(header);
    r.format(fb::region_size);
    const std::uint32_t begin = r.word(detail::begin);
    const std::uint32_t start = layout == header_layout::formatted && at_end ? begin + room - n : begin;
    if (n) std::memcpy(detail::pointer_to(start), data.data(), n);
    switch (layout) {
    case header_layout::formatted:
        r.set(detail::read_cursor, start);
        r.set(detail::write_cursor, start + n);
        break;
    case header_layout::offsets: {
        const std::uint32_t self = detail::address_of(header);
        r.set(detail::pop_count, words[0]);
        r.set(detail::push_count, words[1]);
        for (unsigned w = detail::begin; w <= detail::write_cursor; ++w)
            r.set(static_cast<detail::header_word>(w), self + words[w]);
        break;
    }
    case header_layout::raw:
        for (unsigned w = 0; w < 6; ++w) r.set(static_cast<detail::header_word>(w), words[w]);
        break;
    }
    return true;
}

}  // namespace fuzzing
