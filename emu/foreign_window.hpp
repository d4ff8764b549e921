// SPDX-License-Identifier: MIT
#pragma once
// Executing a request in a window that the client has mapped at another
// address than this process (a device server that maps clients' windows).
#include <cstdint>

namespace fbemu {

// As execute(), for a window mapped here at `window` and in the client at
// `client_base`: the address words of both region headers are moved into
// this mapping for the executor and back into the client's afterwards.
int execute_for(unsigned char* window, std::uint32_t client_base, unsigned long request);

}  // namespace fbemu
