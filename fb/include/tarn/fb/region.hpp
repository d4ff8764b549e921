// SPDX-License-Identifier: MIT
#pragma once
// Access to one region of the shared window: a header of six 32-bit
// little-endian words followed by the data area. The address words hold
// 32-bit addresses in this process's mapping. Everything here is read and
// written with memcpy, because the data is packed and unaligned.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace tarn {
namespace fb {

// Size of each region (header included) and of its header.
constexpr std::uint32_t region_size = 0x80000;
constexpr std::uint32_t region_header_size = 24;

namespace detail {

enum header_word : unsigned { pop_count = 0, push_count, begin, end, read_cursor, write_cursor };

inline std::uint32_t load32(const unsigned char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}
inline void store32(unsigned char* p, std::uint32_t w) { std::memcpy(p, &w, 4); }

// The 32-bit address of p, or 0 when p cannot be held in a 32-bit word.
inline std::uint32_t address_of(const void* p) {
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    return a <= 0xffffffffu ? static_cast<std::uint32_t>(a) : 0;
}
inline unsigned char* pointer_to(std::uint32_t address) {
    return reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(address));
}

// A view of one region header. The header may have been written by the other
// side of the window, so every cursor is checked before it is followed: begin
// must be the header's own address + 24 and
// begin <= read_cursor <= write_cursor <= end <= header + region_size.
class region {
public:
    explicit region(unsigned char* header) : header_(header) {}

    std::uint32_t word(header_word w) const { return load32(header_ + 4 * w); }
    void set(header_word w, std::uint32_t value) { store32(header_ + 4 * w, value); }
    void add(header_word w, std::uint32_t n) { set(w, word(w) + n); }

    // Bytes from a checked cursor to the region's limit for it.
    struct span {
        unsigned char* at;
        std::uint32_t size;
    };

    // The unread bytes from read_cursor to write_cursor, when the header is
    // consistent and at least `need` of them are there.
    std::optional<span> unread(std::uint32_t need) const {
        const std::uint32_t rc = word(read_cursor), wc = word(write_cursor);
        if (!bounds_ok() || rc < word(begin) || rc > wc || wc - rc < need) return std::nullopt;
        return span{pointer_to(rc), wc - rc};
    }
    // The free bytes from write_cursor to end, when the header is consistent
    // and at least `need` of them are there.
    std::optional<span> free_space(std::uint32_t need) const {
        const std::uint32_t wc = word(write_cursor);
        if (!bounds_ok() || wc < word(begin) || word(end) - wc < need) return std::nullopt;
        return span{pointer_to(wc), word(end) - wc};
    }
    // The tag at read_cursor, left unread and uncounted; none when fewer
    // than 4 bytes are unread.
    std::optional<std::uint32_t> next_tag() const {
        const auto in = unread(4);
        if (!in) return std::nullopt;
        return load32(in->at);
    }

    // Makes everything written unread again: pop count 0, read cursor at begin.
    void rewind() {
        set(pop_count, 0);
        set(read_cursor, word(begin));
    }

    // Empties the region: counters 0, both cursors at begin.
    void clear() {
        rewind();
        set(push_count, 0);
        set(write_cursor, word(begin));
    }

    // Writes a complete, empty header for a region of `size` bytes (header
    // included) starting at the header's own address.
    void format(std::uint32_t size) {
        const std::uint32_t base = address_of(header_);
        set(begin, base + region_header_size);
        set(end, base + size);
        clear();
    }

    unsigned char* header() const { return header_; }

private:
    bool bounds_ok() const {
        const std::uint64_t base = reinterpret_cast<std::uintptr_t>(header_);
        const std::uint32_t b = word(begin), e = word(end), wc = word(write_cursor);
        return b == base + region_header_size && wc <= e && std::uint64_t{e} <= base + region_size;
    }

    unsigned char* header_;
};

}  // namespace detail
}  // namespace fb
}  // namespace tarn
