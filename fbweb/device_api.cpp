// SPDX-License-Identifier: MIT
// The API's operations on the device.
#include "device_api.hpp"

#include <iostream>
#include <list>

#include <tarn/fb/failure_text.hpp>

#include "json_output.hpp"

namespace fbweb {

namespace {

using namespace tarn::fb;

driver& session() { return driver::instance(); }

std::string block_of(const std::string& endpoint) { return endpoint.substr(0, endpoint.find('.')); }

// What the multi-value read gives for a value it cannot read as a number.
constexpr double unreadable_value = 3e20;

void warn(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) std::cerr << "fbweb: warning: " << w << std::endl;
}

}  // namespace

device_api::device_api(std::string registry) : tickets_(std::move(registry)) {}

void device_api::open_session() {
    const std::lock_guard<std::mutex> lock(exchanges_);
    try {
        session();
    } catch (const driver::error& e) {
        if (describe_failure(e) != e.what()) throw;
    }
}

void device_api::refused(const std::vector<std::string>& blocks) {
    const std::exception_ptr refusal = std::current_exception();
    try {
        const network net = read_network(session());
        for (const std::string& name : blocks)
            if (net.block(name) == nullptr) throw not_found("no block named " + name);
    } catch (const not_found&) {
        throw;
    } catch (...) {
        // The device cannot be read either: its first answer tells more.
    }
    std::rethrow_exception(refusal);
}

network device_api::whole_network() {
    const std::lock_guard<std::mutex> lock(exchanges_);
    return read_network(session());
}

std::string device_api::block_document(const std::string& name) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    try {
        return fbjson::block_to_json(read_block(session(), name));
    } catch (const driver::error&) {
        refused({name});
    }
}

unsigned int device_api::create(const create_request& request) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    const unsigned int ticket = session().create(request.factory, request.name);
    try {
        tickets_.record({ticket, request.factory, request.name});
    } catch (const registry_error& e) {
        warn({std::string("the ticket of block ") + request.name + " is not recorded: " + e.what()});
    }
    return ticket;
}

void device_api::destroy(const std::string& name) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    try {
        tickets_.destroy(session(), name);
    } catch (const ticket_unknown&) {
        refused({name});
    }
}

void device_api::activate(const std::string& name, bool active) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    try {
        session().activate(name, active);
    } catch (const driver::error&) {
        refused({name});
    }
}

std::vector<std::optional<double>> device_api::values(const std::vector<std::string>& names) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    std::vector<double> read;
    if (!names.empty()) session().value(names, read);
    std::vector<std::optional<double>> out;
    for (const double v : read) out.push_back(v == unreadable_value ? std::nullopt : std::optional<double>(v));
    return out;
}

std::vector<ticket_entry> device_api::destroyable() {
    const std::lock_guard<std::mutex> lock(exchanges_);
    return tickets_.live(session());
}

void device_api::write_properties(const std::string& block, const std::vector<wanted_property>& values) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    block_state state;
    try {
        state = read_block(session(), block);
    } catch (const driver::error&) {
        refused({block});
    }
    std::list<property> writes;
    for (const wanted_property& wanted : values) {
        const property_data* listed = state.property(wanted.name);
        if (listed == nullptr)
            throw value_error(value_error::reason::unknown_property,
                              "block " + block + " has no property " + wanted.name);
        const declared_type declared = declaration_of(*listed);
        if (!wanted.choices.empty() && wanted.choices != declared.choices)
            throw value_error(value_error::reason::unknown_choice,
                              "property " + wanted.name + ": the choices do not agree with the device's");
        try {
            writes.push_back(to_property(wanted.name, convert_value(declared, wanted.value)));
        } catch (const value_error& e) {
            throw value_error(e.why, "property " + wanted.name + ": " + e.what());
        }
    }
    if (!writes.empty()) session().write_func_props(block, writes);
}

void device_api::connect(const connection_request& request) { edit_connection(request, &driver::connect); }

void device_api::disconnect(const connection_request& request) { edit_connection(request, &driver::disconnect); }

void device_api::edit_connection(const connection_request& request,
                                 void (driver::*edit)(const std::string&, const std::string&)) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    try {
        (session().*edit)(request.from, request.to);
    } catch (const driver::error&) {
        refused({block_of(request.from), block_of(request.to)});
    }
}

restore_result device_api::restore(const wanted_network& wanted, bool dry_run) {
    const std::lock_guard<std::mutex> lock(exchanges_);
    const plan p = make_plan(read_network(session()), wanted);
    restore_result result;
    for (const change& c : p.changes) result.plan.push_back(describe(c));
    for (std::size_t i = 0; i < p.kept.size(); ++i)
        result.plan.push_back(describe_kept(p.kept_factories[i], p.kept[i]));
    if (!dry_run) {
        warn(apply(session(), p, &tickets_).warnings);
        result.applied = true;
    }
    return result;
}

}  // namespace fbweb
