// SPDX-License-Identifier: MIT
#pragma once
// Shared-window stand-ins for the benchmarks: memory that 32-bit addresses
// reach (the header words hold them), formatted as the session formats it.
#include <sys/mman.h>

#include <stdexcept>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/region.hpp>

namespace bench {

// 1 MiB mapped below 4 GiB, request and reply regions formatted; `client`
// pushes into the request region and pops from the reply region.
class window {
public:
    window() {
        int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE;
#ifdef MAP_32BIT
        flags |= MAP_32BIT;
#endif
        void* p = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, -1, 0);
        if (p == MAP_FAILED || tarn::fb::detail::address_of(p) == 0)
            throw std::runtime_error("bench window: no memory below 4 GiB");
        base = static_cast<unsigned char*>(p);
        client.request_header = base;
        client.reply_header = base + tarn::fb::reply_offset;
        request().format(tarn::fb::region_size);
        reply().format(tarn::fb::region_size);
    }
    ~window() { ::munmap(base, tarn::fb::window_size); }
    window(const window&) = delete;
    window& operator=(const window&) = delete;

    tarn::fb::detail::region request() { return tarn::fb::detail::region(client.request_header); }
    tarn::fb::detail::region reply() { return tarn::fb::detail::region(client.reply_header); }

    unsigned char* base = nullptr;
    tarn::fb::fifo client{nullptr, nullptr};
};

// A value stream whose pushes and pops use the same region, so that a value
// pushed can be popped straight back with nothing in between.
class loopback {
public:
    loopback() : f(w.client.request_header, w.client.request_header) {}

    // Empties the region, as the session does before every command.
    void clear() { w.request().clear(); }
    // Makes everything pushed unread again.
    void rewind() {
        auto r = w.request();
        r.set(tarn::fb::detail::pop_count, 0);
        r.set(tarn::fb::detail::read_cursor, r.word(tarn::fb::detail::begin));
    }

    window w;
    tarn::fb::fifo f;
};

}  // namespace bench
