// SPDX-License-Identifier: MIT
#pragma once
// The whole network as fbdump's document, read and restored: the text goes
// through the same JSON conversion that fbdump and fbrestore use, and
// Python's json module turns it into Python objects and back.
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/ticket_registry.hpp>

namespace tarnfb {

// The network as fbdump prints it, as JSON text on one line.
std::string network_document(tarn::fb::driver& session);

// Plans the changes that make the device's network match the document (JSON
// text), returns the plan's lines and, unless `dry_run`, applies the plan,
// recording created blocks in `tickets` (and with `exact` destroying blocks
// whose ticket it holds); tickets that could not be recorded go to `warnings`.
std::vector<std::string> restore_document(tarn::fb::driver& session, tarn::fb::ticket_registry& tickets,
                                          const std::string& document, bool dry_run, bool exact,
                                          std::vector<std::string>& warnings);

}  // namespace tarnfb
