// SPDX-License-Identifier: MIT
#pragma once
// The device's state on disk: the whole network in one JSON file, shared by
// every process that uses the emulated device. A command holds an exclusive
// flock on a lock file next to it ("<state>.lock") from loading to saving, and
// a save replaces the state file atomically (a temporary file, then rename).
#include <string>

#include "network.hpp"

namespace fbemu {

struct device_files {
    std::string state;
    std::string lock;
    std::string catalog;  // empty: the built-in default network
};

// FBEMU_STATE (default $XDG_RUNTIME_DIR/fbemu/state.json, else
// /tmp/fbemu-<uid>/state.json, whose directory is created) and FBEMU_CATALOG.
device_files files_from_environment();

class state_store {
public:
    // Takes the lock; throws failure when the lock file cannot be opened.
    explicit state_store(device_files files);
    ~state_store();
    state_store(const state_store&) = delete;
    state_store& operator=(const state_store&) = delete;

    // The stored network; without a state file the catalog's or the default.
    // A state or catalog file that cannot be read or is not a valid network
    // is a failure naming the file and the reason; the file is not touched.
    network load() const;
    void save(const network& net) const;

private:
    device_files files_;
    int lock_fd_ = -1;
};

}  // namespace fbemu
