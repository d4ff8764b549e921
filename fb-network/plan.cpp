// SPDX-License-Identifier: MIT
// Comparing the device's network with a wanted one: every check that can be
// made before a change, and the ordered list of changes that remain.
#include <map>
#include <set>
#include <utility>

#include <tarn/fb/network.hpp>
#include <tarn/fb/plan_words.hpp>

namespace tarn {
namespace fb {

plan_error::plan_error(const std::string& message) : tarn::exception::exception(message) {}
plan_error::~plan_error() = default;

namespace {

using edge = std::pair<std::string, std::string>;  // (output "block.port", input "block.port")

// What the planner knows of one block that the wanted network lists.
struct known_block {
    const wanted_block* wanted = nullptr;
    const block_state* device = nullptr;   // null: the plan creates it
    const block_state* sibling = nullptr;  // a block of the same factory on the device, if any
};

class planner {
public:
    planner(const network& device, const plan_options& options) : device_(device), options_(options) {
        if (options.exact)
            for (const ticket_entry& t : options.tickets) tickets_.emplace(t.block, t);
    }

    plan run(const wanted_network& wanted) {
        for (const wanted_factory& f : wanted.factories) add_factory(f);
        for (const auto& name : order_) plan_properties(name, blocks_.at(name));
        plan_connections();
        result_.changes.insert(result_.changes.end(), sets_.begin(), sets_.end());
        result_.changes.insert(result_.changes.end(), links_.begin(), links_.end());
        result_.changes.insert(result_.changes.end(), destroys_.begin(), destroys_.end());
        return std::move(result_);
    }

private:
    void add_factory(const wanted_factory& f) {
        const factory_state* on_device = device_.factory(f.name);
        if (on_device == nullptr) throw plan_error("unknown factory " + f.name);
        if (!factory_names_.insert(f.name).second) throw plan_error("factory " + f.name + " is listed twice");
        std::set<std::string> listed;
        for (const wanted_block& b : f.blocks) {
            add_block(b, *on_device);
            listed.insert(b.name);
        }
        for (const block_state& b : on_device->blocks) {
            if (listed.count(b.name) != 0) continue;
            const auto known = tickets_.find(b.name);
            if (known != tickets_.end() && known->second.factory == f.name) {
                change c;
                c.what = change::kind::destroy;
                c.factory = f.name;
                c.block = b.name;
                c.ticket = known->second.ticket;
                destroys_.push_back(std::move(c));
                destroyed_.insert(b.name);
                continue;
            }
            result_.kept.push_back(b);
            result_.kept_factories.push_back(f.name);
        }
    }

    void add_block(const wanted_block& b, const factory_state& factory) {
        if (blocks_.count(b.name) != 0) throw plan_error("block " + b.name + " is listed twice");
        known_block k;
        k.wanted = &b;
        const factory_state* actual = nullptr;
        k.device = device_.block(b.name, &actual);
        if (k.device != nullptr && actual != &factory)
            throw plan_error("block " + b.name + " is of factory " + actual->name + " on the device, not " +
                             factory.name);
        if (k.device == nullptr) {
            if (!factory.blocks.empty()) k.sibling = &factory.blocks.front();
            change c;
            c.what = change::kind::create;
            c.factory = factory.name;
            c.block = b.name;
            result_.changes.push_back(std::move(c));
        }
        blocks_.emplace(b.name, k);
        factories_.emplace(b.name, factory.name);
        order_.push_back(b.name);
    }

    // The declaration of a wanted property: the device's, else (for a block
    // the plan creates, of a factory without blocks) the document's own.
    static declared_type declaration(const known_block& k, const wanted_property& p, const std::string& where) {
        const block_state* model = k.device != nullptr ? k.device : k.sibling;
        if (model == nullptr) {
            if (p.type.empty())
                throw plan_error(where +
                                 ": the factory has no block on the device to learn the type from; give \"type\"");
            return {p.type, p.choices};
        }
        const property_data* listed = model->property(p.name);
        if (listed == nullptr) throw plan_error(where + ": unknown property");
        declared_type d = declaration_of(*listed);
        if (!p.type.empty() && p.type != d.type)
            throw plan_error(where + ": type " + p.type + " does not agree with the device's " + d.type);
        if (!p.choices.empty() && p.choices != d.choices)
            throw plan_error(where + ": the choices do not agree with the device's");
        return d;
    }

    void plan_properties(const std::string& name, const known_block& k) {
        std::set<std::string> seen;
        for (const wanted_property& p : k.wanted->properties) {
            const std::string where = "block " + name + ", property " + p.name;
            if (!seen.insert(p.name).second) throw plan_error(where + ": listed twice");
            change c;
            c.what = change::kind::set;
            c.factory = factories_.at(name);
            c.block = name;
            c.property = p.name;
            c.declared = declaration(k, p, where);
            // The wanted value is converted first, so that whether it is valid
            // does not depend on what the device holds. A value no write can
            // carry passes only when it is already there.
            const boost::any* held = k.device != nullptr ? &k.device->property(p.name)->value : nullptr;
            try {
                c.new_value = convert_value(c.declared, p.value);
                if (held != nullptr) c.old_value = convert_value(c.declared, *held);
            } catch (const value_error& e) {
                const bool unwritable = e.why == value_error::reason::not_writable || !c.new_value.empty();
                if (unwritable && held != nullptr && same_loose_value(*held, p.value)) continue;
                throw plan_error(where + ": " + e.what());
            }
            if (!c.old_value.empty() && same_value(c.old_value, c.new_value)) continue;
            sets_.push_back(std::move(c));
        }
    }

    // Whether "block.port" names a port on the given side; for a block the
    // plan creates, the ports of a device block of its factory, else those
    // the wanted network lists on that side, else any.
    bool port_exists(const std::string& endpoint, bool output) const {
        const auto dot = endpoint.find('.');
        if (dot == std::string::npos) return false;
        const std::string block = endpoint.substr(0, dot), port = endpoint.substr(dot + 1);
        const block_state* model = device_.block(block);
        const auto k = blocks_.find(block);
        if (model == nullptr && k != blocks_.end()) model = k->second.sibling;
        if (model != nullptr) return output ? model->output(port) != nullptr : model->input(port) != nullptr;
        if (k == blocks_.end()) return false;
        // Nothing to check against: the device checks when it connects.
        const auto& listed = output ? k->second.wanted->outputs : k->second.wanted->inputs;
        if (!listed) return true;
        for (const wanted_port& p : *listed)
            if (p.name == port) return true;
        return false;
    }

    // The ports a wanted block lists must exist, also those without connections.
    void check_ports(const std::string& name, const wanted_block& b) const {
        for (const bool output : {false, true}) {
            const auto& listed = output ? b.outputs : b.inputs;
            if (!listed) continue;
            for (const wanted_port& p : *listed)
                if (!port_exists(name + "." + p.name, output))
                    throw plan_error("block " + name + ": unknown " + (output ? "output" : "input") + " port " +
                                     p.name);
        }
    }

    void check_edge(const edge& e) const {
        for (const std::string& end : {e.first, e.second})
            if (destroyed_.count(end.substr(0, end.find('.'))) != 0)
                throw plan_error("connection " + e.first + " -> " + e.second + ": block " +
                                 end.substr(0, end.find('.')) + " is not in the document and is destroyed");
        if (!port_exists(e.first, true))
            throw plan_error("connection " + e.first + " -> " + e.second + ": " + e.first + " is no output port");
        if (!port_exists(e.second, false))
            throw plan_error("connection " + e.first + " -> " + e.second + ": " + e.second + " is no input port");
    }

    // Whether the wanted network speaks for this side of a device block.
    bool governs(const std::string& endpoint, bool output) const {
        const auto k = blocks_.find(endpoint.substr(0, endpoint.find('.')));
        if (k == blocks_.end()) return false;
        return output ? k->second.wanted->outputs.has_value() : k->second.wanted->inputs.has_value();
    }

    void plan_connections() {
        std::set<edge> wanted;
        for (const auto& name : order_) {
            const wanted_block& b = *blocks_.at(name).wanted;
            check_ports(name, b);
            if (b.outputs)
                for (const wanted_port& p : *b.outputs)
                    for (const std::string& peer : p.connections) wanted.emplace(name + "." + p.name, peer);
            if (b.inputs)
                for (const wanted_port& p : *b.inputs)
                    for (const std::string& peer : p.connections) wanted.emplace(peer, name + "." + p.name);
        }
        std::set<edge> present;
        for (const factory_state& f : device_.factories)
            for (const block_state& b : f.blocks)
                for (const port_entry& p : b.outputs)
                    for (const std::string& peer : p.connections) present.emplace(b.name + "." + p.name, peer);

        std::map<std::string, std::string> taken;  // input -> output, after the disconnections
        for (const edge& e : present) {
            // The device removes a destroyed block's connections with it.
            if (destroyed_.count(e.first.substr(0, e.first.find('.'))) != 0 ||
                destroyed_.count(e.second.substr(0, e.second.find('.'))) != 0)
                continue;
            if (options_.exact && wanted.count(e) == 0 && (governs(e.first, true) || governs(e.second, false))) {
                links_.push_back(link(change::kind::disconnect, e));
                continue;
            }
            taken.emplace(e.second, e.first);
        }
        std::vector<change> connects;
        for (const edge& e : wanted) {
            if (present.count(e) != 0) continue;
            check_edge(e);
            const auto [it, free] = taken.emplace(e.second, e.first);
            if (!free)
                throw plan_error("connection " + e.first + " -> " + e.second + ": input " + e.second +
                                 " is already connected with " + it->second);
            connects.push_back(link(change::kind::connect, e));
        }
        links_.insert(links_.end(), connects.begin(), connects.end());
    }

    static change link(change::kind what, const edge& e) {
        change c;
        c.what = what;
        c.source = e.first;
        c.destination = e.second;
        return c;
    }

    const network& device_;
    const plan_options& options_;
    std::map<std::string, known_block> blocks_;
    std::map<std::string, std::string> factories_;  // block -> factory
    std::vector<std::string> order_;                // blocks in the wanted network's order
    std::set<std::string> factory_names_;           // the wanted network's factories
    std::vector<change> sets_, links_, destroys_;
    std::map<std::string, ticket_entry> tickets_;  // by block name; only with exact
    std::set<std::string> destroyed_;              // blocks the plan destroys
    plan result_;
};

}  // namespace

plan make_plan(const network& device, const wanted_network& wanted, const plan_options& options) {
    return planner(device, options).run(wanted);
}

std::string describe(const change& c) {
    switch (c.what) {
    case change::kind::create: return "create " + plan_word(c.factory) + " " + plan_word(c.block);
    case change::kind::set:
        return "set " + plan_word(c.block + "." + c.property) + " " +
               (c.old_value.empty() ? std::string("-") : value_text(c.declared, c.old_value)) + " -> " +
               value_text(c.declared, c.new_value);
    case change::kind::disconnect: return "disconnect " + plan_word(c.source) + " " + plan_word(c.destination);
    case change::kind::connect: return "connect " + plan_word(c.source) + " " + plan_word(c.destination);
    case change::kind::destroy: return "destroy " + plan_word(c.factory) + " " + plan_word(c.block);
    }
    return {};
}

std::string describe_kept(const std::string& factory, const block_state& block) {
    return "keep " + plan_word(factory) + " " + plan_word(block.name);
}

}  // namespace fb
}  // namespace tarn
