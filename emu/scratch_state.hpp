// SPDX-License-Identifier: MIT
#pragma once
// A throwaway state for the emulated device: FBEMU_STATE points into a fresh
// temporary directory, removed with everything in it at destruction; no
// fault, and a catalog only when one is given. For tests, benchmarks and
// fuzz targets.
#include <string>

namespace fbemu {

class scratch_state {
public:
    // Throws std::runtime_error when no temporary directory can be made.
    explicit scratch_state(const std::string& catalog = "");
    ~scratch_state();
    scratch_state(const scratch_state&) = delete;
    scratch_state& operator=(const scratch_state&) = delete;

    // Removes the state file: the device starts again from its default network.
    void reset() const;
    // Whether the state file exists (a command has stored a change).
    bool stored() const;

    const std::string& dir() const { return dir_; }
    const std::string& state() const { return state_; }

private:
    std::string dir_;
    std::string state_;
};

}  // namespace fbemu
