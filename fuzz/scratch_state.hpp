// SPDX-License-Identifier: MIT
#pragma once
// A throwaway state file for the emulated device: FBEMU_STATE points into a
// fresh temporary directory, removed at exit; no catalog, no fault.
#include <string>

namespace fuzzing {

class scratch_state {
public:
    scratch_state();
    ~scratch_state();
    scratch_state(const scratch_state&) = delete;
    scratch_state& operator=(const scratch_state&) = delete;

    // Removes the state file: the device starts again from its default network.
    void reset() const;
    // Whether the state file exists (a command has stored a change).
    bool stored() const;

private:
    std::string dir_;
    std::string state_;
};

}  // namespace fuzzing
