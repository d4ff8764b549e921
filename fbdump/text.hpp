// SPDX-License-Identifier: MIT
#pragma once
// Names from the device made safe to show in a picture.
#include <string>
#include <string_view>

namespace fbdump {

// `text` with every control character and every byte that does not belong to
// a well-formed UTF-8 sequence replaced by U+FFFD.
std::string printable_utf8(std::string_view text);

}  // namespace fbdump
