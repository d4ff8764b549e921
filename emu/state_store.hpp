// SPDX-License-Identifier: MIT
#pragma once
// The device's state on disk, shared by every process that uses the emulated
// device: a snapshot of the whole network in one JSON file ("<state>") and a
// journal of the changes made since ("<state>.journal"). A command holds an
// exclusive flock on a lock file next to them ("<state>.lock") from loading to
// saving. The network stays in the process between commands; a load under
// the lock reads only what other processes have changed since. A change is
// appended to the journal; when the journal has grown past the snapshot's
// size the whole network is written to a new snapshot (a temporary file,
// then rename) and the journal removed.
#include <string>

#include "network.hpp"

namespace fbemu {

struct device_files {
    std::string state;
    std::string lock;
    std::string journal;
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
    // A journal whose end is cut short or damaged is applied up to the last
    // whole record, reported on standard error and cut there. The network
    // stays the process's own until the store's lock is released; changes
    // left in it that were not saved are forgotten at the next load.
    network& load();
    // Stores the changes made to the loaded network since it was loaded.
    void save(network& net);

private:
    device_files files_;
    int lock_fd_ = -1;
};

}  // namespace fbemu
