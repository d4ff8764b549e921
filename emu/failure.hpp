// SPDX-License-Identifier: MIT
#pragma once
// The emulated device's error replies: every command that cannot be carried
// out throws a fbemu::failure, which the executor turns into a failure reply
// (non-zero status, the error code, the message).
#include <stdexcept>
#include <string>

namespace fbemu {

// Error codes sent in failure replies. Documented in emu/README.md.
enum error_code : int {
    err_bad_region = 1,       // the request region's header is not consistent
    err_wrong_type = 2,       // a request value has another type than expected
    err_truncated = 3,        // a request value is missing or incomplete
    err_unknown_command = 4,  // no command with this code or name
    err_trailing_values = 5,  // values left over after the command's arguments
    err_reply_too_large = 6,  // the reply does not fit the reply region
    err_unknown_factory = 10,
    err_unknown_block = 11,
    err_duplicate_name = 12,
    err_unknown_ticket = 13,
    err_unknown_port = 14,
    err_input_occupied = 15,
    err_no_connection = 16,
    err_unknown_property = 17,
    err_value_type = 18,
    err_value_range = 19,
    err_bad_name = 20,
    err_duplicate_connection = 21,
    err_state_unreadable = 30,
    err_state_unwritable = 31,
    err_catalog_unreadable = 32,
    err_bad_environment = 33,
    err_injected = 42,
    err_internal = 50,  // an unexpected exception inside the emulator
};

class failure : public std::runtime_error {
public:
    failure(int code_, const std::string& message) : std::runtime_error(message), code(code_) {}
    int code;
};

}  // namespace fbemu
