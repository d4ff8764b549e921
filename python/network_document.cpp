// SPDX-License-Identifier: MIT
// Snapshot and restore of the whole network through the library's network
// model and the shared JSON document conversion.
#include "network_document.hpp"

#include <tarn/fb/network.hpp>

#include "document_reader.hpp"
#include "json_output.hpp"
#include <tarn/fb/network.hpp>

namespace tarnfb {

namespace {

// One line per change, in the order apply runs them, then the kept blocks.
std::vector<std::string> plan_lines(const tarn::fb::plan& p) {
    std::vector<std::string> lines;
    for (const tarn::fb::change& c : p.changes) lines.push_back(tarn::fb::describe(c));
    for (std::size_t i = 0; i < p.kept.size(); ++i)
        lines.push_back(tarn::fb::describe_kept(p.kept_factories[i], p.kept[i]));
    return lines;
}

}  // namespace

std::string network_document(tarn::fb::driver& session) {
    return fbjson::to_json(tarn::fb::read_network(session), true);
}

std::vector<std::string> restore_document(tarn::fb::driver& session, tarn::fb::ticket_registry& tickets,
                                          const std::string& document, bool dry_run, bool exact,
                                          std::vector<std::string>& warnings) {
    const tarn::fb::wanted_network wanted = fbjson::read_document(document);
    tarn::fb::plan_options options;
    options.exact = exact;
    if (exact) options.tickets = tickets.entries();
    const tarn::fb::plan p = tarn::fb::make_plan(tarn::fb::read_network(session), wanted, options);
    if (!dry_run) warnings = tarn::fb::apply(session, p, &tickets).warnings;
    return plan_lines(p);
}

}  // namespace tarnfb
