// SPDX-License-Identifier: MIT
#pragma once
// A region of the tests' shared window (tests/support/window.hpp) that values
// are pushed into and popped straight back from, for the stream benchmarks.
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/region.hpp>

#include "window.hpp"

namespace bench {

// A value stream whose pushes and pops use the same region, so that a value
// pushed can be popped straight back with nothing in between.
class loopback {
public:
    loopback() : f(w.fifo.request_header, w.fifo.request_header) {}

    // Empties the region, as the session does before every command.
    void clear() { w.request().clear(); }
    // Empties the region and pushes `value`: one command's request.
    template <class V>
    void refill(const V& value) {
        clear();
        f.push(value);
    }
    // Makes everything pushed unread again.
    void rewind() { w.request().rewind(); }

    testing_support::window w;
    tarn::fb::fifo f;
};

}  // namespace bench
