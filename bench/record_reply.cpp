// SPDX-License-Identifier: MIT
// record-reply: writes to FILE the reply of the emulator (in process, with
// the device files of FBEMU_STATE and FBEMU_CATALOG) to the factory listing,
// for the replay device (replay_device.c).
#include <cstdio>
#include <exception>

#include "executor.hpp"
#include "window.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: record-reply FILE\n");
        return 2;
    }
    try {
        testing_support::window w;
        w.fifo.push<int>(16);
        if (fbemu::execute(w.base, 1) != 0) throw std::runtime_error("the emulator refused the request");
        const auto r = w.reply();
        const unsigned char* begin = tarn::fb::detail::pointer_to(r.word(tarn::fb::detail::begin));
        const std::size_t size = r.word(tarn::fb::detail::write_cursor) - r.word(tarn::fb::detail::begin);
        std::FILE* out = std::fopen(argv[1], "wb");
        if (out == nullptr || std::fwrite(begin, 1, size, out) != size || std::fclose(out) != 0)
            throw std::runtime_error("cannot write the reply file");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "record-reply: %s\n", e.what());
        return 1;
    }
    return 0;
}
