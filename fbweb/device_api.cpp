// SPDX-License-Identifier: MIT
// The API's operations on the device.
#include "device_api.hpp"

#include <list>

#include "json_output.hpp"

namespace fbweb {

namespace {

using namespace tarn::fb;

driver& session() { return driver::instance(); }

std::string block_of(const std::string& endpoint) { return endpoint.substr(0, endpoint.find('.')); }

}  // namespace

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
    return session().create(request.factory, request.name);
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
        try {
            writes.push_back(to_property(wanted.name, convert_value(declaration_of(*listed), wanted.value)));
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
        apply(session(), p);
        result.applied = true;
    }
    return result;
}

}  // namespace fbweb
