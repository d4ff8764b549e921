// SPDX-License-Identifier: MIT
#pragma once
// A shared window for tests that exercise the value stream without a device:
// 1 MiB mapped below 4 GiB (the header words hold 32-bit addresses), both
// regions formatted as the session formats them, plus helpers to lay out raw
// reply bytes by hand.
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/fifo.hpp>

namespace testing_support {

class window {
public:
    window() {
        int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_32BIT
        flags |= MAP_32BIT;
#endif
        void* p = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, -1, 0);
        if (p == MAP_FAILED || tarn::fb::detail::address_of(p) == 0)
            throw std::runtime_error("window: no memory below 4 GiB");
        base = static_cast<unsigned char*>(p);
        fifo.request_header = base;
        fifo.reply_header = base + tarn::fb::reply_offset;
        request().format(tarn::fb::region_size);
        reply().format(tarn::fb::region_size);
    }
    ~window() { ::munmap(base, tarn::fb::window_size); }
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    tarn::fb::detail::region request() { return tarn::fb::detail::region(fifo.request_header); }
    tarn::fb::detail::region reply() { return tarn::fb::detail::region(fifo.reply_header); }

    // Bytes pushed into the request region so far.
    std::vector<unsigned char> request_bytes() {
        auto r = request();
        const unsigned char* b = tarn::fb::detail::pointer_to(r.word(tarn::fb::detail::begin));
        const unsigned char* e = tarn::fb::detail::pointer_to(r.word(tarn::fb::detail::write_cursor));
        return std::vector<unsigned char>(b, e);
    }
    // Replaces the reply region's content with `bytes` (cursors at both ends).
    void set_reply(const std::vector<unsigned char>& bytes) {
        auto r = reply();
        r.clear();
        unsigned char* b = tarn::fb::detail::pointer_to(r.word(tarn::fb::detail::begin));
        if (!bytes.empty()) std::memcpy(b, bytes.data(), bytes.size());
        r.add(tarn::fb::detail::write_cursor, static_cast<std::uint32_t>(bytes.size()));
    }
    // Moves what was pushed into the request region over to the reply region,
    // so a value can be pushed and then popped back.
    void loop_back() { set_reply(request_bytes()); }

    std::uint32_t reply_offset_of_read_cursor() {
        auto r = reply();
        return r.word(tarn::fb::detail::read_cursor) - r.word(tarn::fb::detail::begin);
    }

    unsigned char* base = nullptr;
    tarn::fb::fifo fifo{nullptr, nullptr};
};

// The message of the tarn::fb::fifo::error that `op` throws, or "no error".
template <class F>
std::string error_of(F&& op) {
    try {
        op();
    } catch (const tarn::fb::fifo::error& e) {
        return e.what();
    }
    return "no error";
}

// Builders for hand-made byte streams.
inline void put32(std::vector<unsigned char>& out, std::uint32_t w) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(w >> (8 * i)));
}
inline void put_string(std::vector<unsigned char>& out, const std::string& s) {
    put32(out, tarn::fb::tag_string);
    put32(out, static_cast<std::uint32_t>(s.size() + 1));
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}
inline void put_int(std::vector<unsigned char>& out, std::int32_t v) {
    put32(out, tarn::fb::tag_int32);
    put32(out, static_cast<std::uint32_t>(v));
}

// The same as whole pieces, to be joined by cat().
using bytes = std::vector<unsigned char>;
inline bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline bytes word(std::uint32_t w) {
    bytes b;
    put32(b, w);
    return b;
}
inline bytes int_value(std::int32_t v) {
    bytes b;
    put_int(b, v);
    return b;
}
inline bytes string_value(const std::string& s) {
    bytes b;
    put_string(b, s);
    return b;
}

}  // namespace testing_support
