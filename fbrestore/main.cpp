// SPDX-License-Identifier: MIT
// fbrestore: changes the device's function-block network until it matches a
// network document as fbdump prints it.
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <tarn/fb/network.hpp>
#include <tool.hpp>

#include "document_reader.hpp"
#include "options.hpp"

namespace {

// The exit statuses.
constexpr int matches = 0;
constexpr int differs = 2;  // --check only

// The document's text; throws std::runtime_error when it cannot be read.
std::string read_text(const std::string& file) {
    if (file == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        if (std::cin.bad()) throw std::runtime_error("cannot read standard input");
        return text.str();
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + file + ": " + std::strerror(errno));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + file);
    return text;
}

// Whether the device is the document: nothing to change and no block on the
// device that the document leaves out of a factory it lists.
bool device_matches(const tarn::fb::plan& p) { return p.empty() && p.kept.empty(); }

void print_plan(const tarn::fb::plan& p) {
    for (const tarn::fb::change& c : p.changes) std::cout << tarn::fb::describe(c) << '\n';
    for (std::size_t i = 0; i < p.kept.size(); ++i)
        std::cout << tarn::fb::describe_kept(p.kept_factories[i], p.kept[i]) << '\n';
    if (device_matches(p)) std::cout << "nothing to do\n";
    std::cout << std::flush;
}

int restore(const fbrestore::options& o) {
    tarn::fb::wanted_network wanted;
    try {
        wanted = fbjson::read_document(read_text(o.file));
    } catch (const fbjson::document_error& e) {
        throw std::runtime_error((o.file == "-" ? std::string("standard input") : o.file) + ": " + e.what());
    }
    tarn::fb::driver& session = tarn::fb::driver::instance();
    tarn::fb::ticket_registry tickets(tarn::fb::ticket_registry::default_path());
    tarn::fb::plan_options options;
    options.exact = o.exact;
    if (o.exact) options.tickets = tickets.entries();
    const tarn::fb::plan p = tarn::fb::make_plan(tarn::fb::read_network(session), wanted, options);
    if (!o.quiet) print_plan(p);
    if (o.check) return device_matches(p) ? matches : differs;
    if (o.dry_run) return matches;
    for (const std::string& warning : tarn::fb::apply(session, p, &tickets).warnings)
        std::cerr << "fbrestore: warning: " << warning << '\n';
    return matches;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::tool self{"fbrestore", FBRESTORE_VERSION, fbrestore::help_text, cli::failed};
    return cli::run_tool(self, argc, argv, fbrestore::parse_options, restore);
}
