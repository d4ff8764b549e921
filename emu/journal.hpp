// SPDX-License-Identifier: MIT
#pragma once
// The state journal's text: a header line naming the snapshot the journal
// belongs to, then one line per change of the network, each with a CRC-32 of
// its text so that a record cut short or damaged is never applied.
#include <cstddef>
#include <string>

#include "network.hpp"

namespace fbemu {

// What identifies one version of the snapshot file: a new file, a rewrite or
// a touch changes at least one of these.
struct snapshot_id {
    unsigned long long device = 0, inode = 0, size = 0;
    long long mtime_ns = 0;
    bool operator==(const snapshot_id& o) const {
        return device == o.device && inode == o.inode && size == o.size && mtime_ns == o.mtime_ns;
    }
};

std::string journal_header(const snapshot_id& snapshot);
// Reads the header at the start of `text` into `snapshot` and `end` (the
// offset after it); false when `text` does not start with a whole header.
bool read_journal_header(const std::string& text, snapshot_id& snapshot, std::size_t& end);

// The record of `c`, a change of `net`. Throws failure (state unwritable)
// when it cannot be stored (a text that is not UTF-8).
std::string journal_record(const change& c, const network& net);

struct replay_result {
    std::size_t end = 0;    // the offset after the last record applied
    std::size_t count = 0;  // how many were applied
    std::string damage;     // why the text from `end` on was not applied; empty when all was
};

// Applies the records of text[from, end) to `net` in order, stopping before
// the first that is cut short, fails its checksum or cannot be applied.
// Leaves net.changes empty.
replay_result replay_journal(const std::string& text, std::size_t from, network& net);

}  // namespace fbemu
