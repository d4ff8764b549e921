// SPDX-License-Identifier: MIT
#pragma once
// The device's network as one value: read it in one walk, compare it with a
// wanted network into an ordered plan of changes, and apply a plan with undo.
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/any.hpp>
#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>
#include <tarn/fb/export.hpp>
#include <tarn/fb/ticket_registry.hpp>
#include <tarn/fb/typed_write.hpp>

namespace tarn {
namespace fb {

// ---- The network as the device has it -------------------------------------

// One block with everything its listings show.
struct TARN_FB_EXPORT block_state {
    std::string name;
    std::vector<property_data> properties;  // in the device's order
    std::vector<port_entry> inputs;         // in the device's order
    std::vector<port_entry> outputs;        // in the device's order

    // The property or port of that name, or null.
    const property_data* property(const std::string& property_name) const;
    const port_entry* input(const std::string& port_name) const;
    const port_entry* output(const std::string& port_name) const;
};

struct TARN_FB_EXPORT factory_state {
    std::string name;
    std::vector<block_state> blocks;  // by name
};

struct TARN_FB_EXPORT network {
    std::vector<factory_state> factories;  // by name

    // The block of that name and, through `factory`, its factory; null when
    // no walked factory has it.
    const block_state* block(const std::string& block_name, const factory_state** factory = nullptr) const;
    const factory_state* factory(const std::string& factory_name) const;
};

// Reads the factories in `only` (every factory of the device when `only` is
// empty): the blocks of each, every block's properties and ports. One
// exchange for the factories, one per factory, three per block. The count
// lines the session's name lists write on std::cout are kept off it. Throws
// what the session and the value stream throw.
TARN_FB_EXPORT network read_network(driver& session, const std::set<std::string>& only = {});

// Reads one block: its properties, inputs and outputs (three exchanges).
TARN_FB_EXPORT block_state read_block(driver& session, const std::string& block_name);

// The pieces of the walk, each one exchange, safe for threads that share the
// session: the name lists without the count lines the session writes on
// std::cout, and a block's property or port entries read while the session
// stays locked, so that no other exchange replaces the reply half-read.
TARN_FB_EXPORT std::set<std::string> factory_names(driver& session);
TARN_FB_EXPORT std::set<std::string> block_names(driver& session, const std::string& factory);
TARN_FB_EXPORT std::vector<property_data> read_properties(driver& session, const std::string& block_name);
TARN_FB_EXPORT std::vector<port_entry> read_inputs(driver& session, const std::string& block_name);
TARN_FB_EXPORT std::vector<port_entry> read_outputs(driver& session, const std::string& block_name);

// ---- The network as someone wants it --------------------------------------

// A property as a document asks for it.
struct TARN_FB_EXPORT wanted_property {
    std::string name;
    std::string type;                  // empty: whatever the device declares
    std::vector<std::string> choices;  // an enum's choices, when the document lists them
    boost::any value;                  // a loose value, as convert_value takes it
};

struct TARN_FB_EXPORT wanted_port {
    std::string name;
    std::vector<std::string> connections;  // "block.port" at the other end
};

struct TARN_FB_EXPORT wanted_block {
    std::string name;
    std::vector<wanted_property> properties;  // only these are set
    // Absent: the block's connections on that side are left alone.
    std::optional<std::vector<wanted_port>> inputs;
    std::optional<std::vector<wanted_port>> outputs;
};

struct TARN_FB_EXPORT wanted_factory {
    std::string name;
    std::vector<wanted_block> blocks;
};

struct TARN_FB_EXPORT wanted_network {
    std::vector<wanted_factory> factories;
};

// ---- The difference as a plan ----------------------------------------------

// One change to the device.
struct TARN_FB_EXPORT change {
    enum class kind { create, set, disconnect, connect, destroy };
    kind what = kind::create;
    std::string factory;      // create, destroy: the factory; set: the block's factory
    std::string block;        // create, set, destroy
    std::string property;     // set
    declared_type declared;   // set: the property's declaration
    boost::any old_value;     // set: the device's value; empty for a block this plan creates
    boost::any new_value;     // set: the wanted value, converted to the declared type
    std::string source;       // connect, disconnect: the output "block.port"
    std::string destination;  // connect, disconnect: the input "block.port"
    unsigned int ticket = 0;  // destroy: the ticket the registry holds for the block
};

struct TARN_FB_EXPORT plan {
    // In the order apply runs them: creations, property writes (those of one
    // block side by side, sent as one bulk write), disconnections,
    // connections, destructions (last: a destroyed block cannot be brought
    // back if a later change fails).
    std::vector<change> changes;
    // Blocks on the device, of a factory the wanted network names, that it
    // does not list and that are not destroyed: without `exact`, or with no
    // known ticket (the device destroys by ticket only).
    std::vector<block_state> kept;
    std::vector<std::string> kept_factories;  // the factory of each kept block

    bool empty() const { return changes.empty(); }
};

struct TARN_FB_EXPORT plan_options {
    plan_options(bool exact_ = false, std::vector<ticket_entry> tickets_ = {})  // NOLINT: {exact} reads well
        : exact(exact_), tickets(std::move(tickets_)) {}
    // Also disconnect connections the wanted network does not have, on the
    // sides of blocks whose ports it lists, and destroy the blocks it does not
    // list whose ticket `tickets` holds for the factory they are in.
    bool exact = false;
    std::vector<ticket_entry> tickets;  // as ticket_registry::entries returns them
};

// A wanted network that cannot be reached: unknown factory, property or port,
// a value the property cannot hold, an input taken twice. The message names
// the place ("block osc1, property freq: ...").
class TARN_FB_EXPORT plan_error : public tarn::exception::exception {
public:
    explicit plan_error(const std::string& message);
    ~plan_error() override;
};

// The changes that make `device` (as read_network returned it, for at least
// the factories `wanted` names) into `wanted`. Throws plan_error (for a value
// also carrying the value_error's reason in its message) before anything is
// planned when something cannot be reached. A property of a block to be
// created takes its declaration from a block of the same factory on the
// device, else from the wanted property's type and choices.
TARN_FB_EXPORT plan make_plan(const network& device, const wanted_network& wanted, const plan_options& options = {});

// One plan line, without a line end; fields are separated by one blank, so
// grep and awk can read them:
//   create FACTORY BLOCK
//   set BLOCK.PROPERTY OLD -> NEW      (OLD is "-" for a block the plan creates)
//   disconnect SOURCE DESTINATION
//   connect SOURCE DESTINATION
//   destroy FACTORY BLOCK
// Values are written by value_text. A name that holds a blank, a quote, a
// backslash or a control character, or is empty, "-" or "->", is written in
// double quotes as text values are.
TARN_FB_EXPORT std::string describe(const change& c);

// The line for a kept block: "keep FACTORY BLOCK".
TARN_FB_EXPORT std::string describe_kept(const std::string& factory, const block_state& block);

// ---- Applying a plan ---------------------------------------------------------

// A plan that failed part way. By the time it is thrown the changes already
// made have been undone in reverse order, as far as the device allowed.
class TARN_FB_EXPORT apply_error : public tarn::exception::exception {
public:
    apply_error(const std::string& message, std::size_t failed, std::vector<std::string> left_changed);
    ~apply_error() override;
    std::size_t failed;  // index in plan::changes of the change that failed
    // Plan lines of the changes whose undo failed too: what is left changed.
    // Empty when the device is back where it was.
    std::vector<std::string> left_changed;
};

// What an apply did, for progress reports and benchmarks.
struct TARN_FB_EXPORT apply_counts {
    std::size_t changes = 0;            // plan changes carried out
    std::size_t exchanges = 0;          // editing commands sent
    std::vector<std::string> warnings;  // tickets that could not be recorded or forgotten
};

// Carries the plan out on the device, in order; property writes of one block
// go as one bulk write. On a failure, undoes what was done in reverse order
// (disconnect what was connected, reconnect what was disconnected, write back
// old property values, destroy the blocks this apply created, by the tickets
// create returned) and throws apply_error, whose message names the failed
// change and the device's reason and, when an undo step failed too, what is
// left changed (a destroyed block cannot be made again). An empty plan sends
// nothing. With `tickets`, a creation's ticket is recorded there and a
// destruction goes through it (ticket_registry::destroy checks the block
// first); a ticket that cannot be recorded is named in apply_counts::warnings.
TARN_FB_EXPORT apply_counts apply(driver& session, const plan& p, ticket_registry* tickets = nullptr);

}  // namespace fb
}  // namespace tarn
