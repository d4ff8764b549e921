// SPDX-License-Identifier: MIT
#pragma once
// The benchmarks' in-process devices, as handlers of the interposer
// (emu/interposer.h): the emulator, for whole exchanges, and a device that
// answers every ioctl by making the reply of the last exchange unread again,
// so that only the client's side of an exchange is timed.
#include <tarn/fb/driver.hpp>
#include <tarn/fb/region.hpp>

#include "executor.hpp"
#include "interposer.h"

namespace bench {

inline int emulate(unsigned char* window, unsigned long request) { return fbemu::execute(window, request); }

inline int replay(unsigned char* window, unsigned long) {
    tarn::fb::detail::region(window + tarn::fb::reply_offset).rewind();
    return 0;
}

inline const device_handler emulated{emulate, nullptr, nullptr, nullptr, nullptr};
inline const device_handler replayed{replay, nullptr, nullptr, nullptr};

}  // namespace bench
