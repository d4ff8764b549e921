// SPDX-License-Identifier: MIT
// Device and Property: each method converts its arguments (raising TypeError,
// ValueError or KeyError before anything is sent), releases the GIL for the
// exchanges with the device, and converts the results.
#include "device.hpp"

#include <list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/stl.h>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/typed_write.hpp>

#include <tarn/fb/network.hpp>
#include <tarn/fb/ticket_registry.hpp>

#include "network_document.hpp"
#include "values.hpp"

namespace py = pybind11;

namespace tarnfb {

namespace {

using tarn::fb::block_names;
using tarn::fb::driver;
using tarn::fb::factory_names;
using tarn::fb::read_inputs;
using tarn::fb::read_outputs;
using tarn::fb::read_properties;

// A Python handle on the process-wide session.
struct device {
    driver* session;
};

// One listed property, as Python sees it.
struct property_view {
    std::string name;
    std::string type;
    py::object value;
    py::object index;
    py::object choices;
};

property_view view_of(const tarn::fb::property_data& p) {
    property_view v{p.name, p.type, to_python(p.value), py::none(), py::none()};
    if (p.type == "enum") {
        const int* index = boost::any_cast<int>(&p.value);
        v.index = v.value;
        py::list choices;
        for (const std::string& c : p.choices) choices.append(text(c));
        v.choices = choices;
        if (index != nullptr && *index >= 0 && static_cast<std::size_t>(*index) < p.choices.size())
            v.value = text(p.choices[static_cast<std::size_t>(*index)]);
    }
    return v;
}

// What `exchange` returns, called with the GIL released.
template <class Exchange>
auto without_gil(Exchange&& exchange) {
    py::gil_scoped_release nogil;
    return exchange();
}

// The registry of the device this process talks to, found at each use as
// the emulator finds its state.
tarn::fb::ticket_registry registry() { return tarn::fb::ticket_registry(tarn::fb::ticket_registry::default_path()); }

// A registry update after the device changed: a failure is a RuntimeWarning,
// since the change on the device stands. Called with the GIL released.
template <class Update>
std::string noted(Update update) {
    try {
        update();
    } catch (const tarn::fb::registry_error& e) {
        return e.what();
    }
    return {};
}

void warn(const std::string& message) {
    if (!message.empty()) py::module_::import("warnings").attr("warn")(text(message), PyExc_RuntimeWarning, 2);
}

unsigned int create(const device& d, const device_text& factory, const device_text& name) {
    std::string warning;
    const unsigned int ticket = without_gil([&] {
        const unsigned int t = d.session->create(factory.bytes, name.bytes);
        warning = noted([&] { registry().record({t, factory.bytes, name.bytes}); });
        return t;
    });
    warn(warning);
    return ticket;
}

void destroy_ticket(const device& d, unsigned int ticket) {
    const std::string warning = without_gil([&] {
        d.session->destroy(ticket);
        return noted([&] { registry().forget(ticket); });
    });
    warn(warning);
}

py::dict destroyable(const device& d) {
    const auto entries = without_gil([&] { return registry().live(*d.session); });
    py::dict out;
    for (const auto& e : entries) out[text(e.block)] = text(e.factory);
    return out;
}

py::list names(const std::set<std::string>& set) {
    py::list out;
    for (const std::string& s : set) out.append(text(s));
    return out;
}

py::dict connections(const std::vector<tarn::fb::port_entry>& ports) {
    py::dict out;
    for (const auto& port : ports) {
        py::list ends;
        for (const std::string& c : port.connections) ends.append(text(c));
        out[text(port.name)] = ends;
    }
    return out;
}

// The property named `name` among those listed, as a write converts to it.
tarn::fb::declared_type declaration(const std::vector<tarn::fb::property_data>& listed, const std::string& block,
                                    const std::string& name) {
    for (const auto& p : listed)
        if (p.name == name) return tarn::fb::declaration_of(p);
    throw tarn::fb::value_error(tarn::fb::value_error::reason::unknown_property,
                                "block " + block + " has no property " + name);
}

void set(const device& d, const device_text& block, const py::object& mapping, const py::kwargs& values) {
    py::dict merged = mapping.is_none() ? py::dict() : py::dict(mapping);
    for (auto item : values) merged[item.first] = item.second;
    std::vector<std::pair<std::string, boost::any>> wanted;
    for (auto item : merged) {
        if (!PyUnicode_Check(item.first.ptr())) throw py::type_error("set: property names must be str");
        const std::string name = bytes_of(item.first);
        wanted.emplace_back(name, loose_value(name, item.second));
    }
    if (wanted.empty()) return;
    py::gil_scoped_release nogil;
    const auto listed = read_properties(*d.session, block.bytes);
    std::list<tarn::fb::property> props;
    for (const auto& w : wanted)
        props.push_back(tarn::fb::to_property(
            w.first, tarn::fb::convert_value(declaration(listed, block.bytes, w.first), w.second)));
    d.session->write_func_props(block.bytes, props);
}

void write(const device& d, const device_text& block, const py::object& items) {
    const py::object pairs = PyDict_Check(items.ptr()) ? items.attr("items")() : items;
    std::list<tarn::fb::property> props;
    for (py::handle item : pairs) {
        if (!PyTuple_Check(item.ptr()) || PyTuple_GET_SIZE(item.ptr()) != 2 ||
            !PyUnicode_Check(PyTuple_GET_ITEM(item.ptr(), 0)))
            throw py::type_error("write: items must be (name, value) pairs with a str name");
        const std::string name = bytes_of(PyTuple_GET_ITEM(item.ptr(), 0));
        props.push_back(write_item(name, PyTuple_GET_ITEM(item.ptr(), 1)));
    }
    py::gil_scoped_release nogil;
    d.session->write_func_props(block.bytes, props);
}

py::list factories(const device& d) {
    return names(without_gil([&] { return factory_names(*d.session); }));
}

py::list blocks(const device& d, const device_text& factory) {
    return names(without_gil([&] { return block_names(*d.session, factory.bytes); }));
}

py::dict properties(const device& d, const device_text& block) {
    const auto listed = without_gil([&] { return read_properties(*d.session, block.bytes); });
    py::dict out;
    for (const auto& p : listed) out[text(p.name)] = py::cast(view_of(p));
    return out;
}

py::dict outputs(const device& d, const device_text& block) {
    return connections(without_gil([&] { return read_outputs(*d.session, block.bytes); }));
}

py::dict inputs(const device& d, const device_text& block) {
    return connections(without_gil([&] { return read_inputs(*d.session, block.bytes); }));
}

// Called with the GIL released.
void connect(const device& d, const device_text& source, const device_text& destination) {
    d.session->connect(source.bytes, destination.bytes);
}
void disconnect(const device& d, const device_text& source, const device_text& destination) {
    d.session->disconnect(source.bytes, destination.bytes);
}

py::object snapshot(const device& d) {
    const auto document = without_gil([&] { return network_document(*d.session); });
    return py::module_::import("json").attr("loads")(text(document));
}

// The document as JSON text. A document nested beyond what Python's encoder
// recurses through is a ValueError, as one beyond the reader's limit is.
std::string document_text(const py::object& doc) {
    try {
        return bytes_of(py::module_::import("json").attr("dumps")(doc, py::arg("allow_nan") = false));
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_RecursionError)) throw;
        throw py::value_error("document: nested too deep");
    }
}

py::list restore(const device& d, const py::object& doc, bool dry_run, bool exact) {
    const std::string document = document_text(doc);
    std::vector<std::string> warnings;
    const auto lines = without_gil([&] {
        tarn::fb::ticket_registry tickets = registry();
        return restore_document(*d.session, tickets, document, dry_run, exact, warnings);
    });
    for (const std::string& w : warnings) warn(w);
    py::list out;
    for (const std::string& line : lines) out.append(text(line));
    return out;
}

}  // namespace

void bind_device(py::module_& m) {
    using release = py::call_guard<py::gil_scoped_release>;

    py::class_<property_view>(m, "Property", "One property of a block as its listing shows it.")
        .def_readonly("name", &property_view::name, "The property's name.")
        .def_readonly("type", &property_view::type,
                      "Its declared type: \"float\", \"uint32\", \"uint8\", \"enum\" or another value type name.")
        .def_readonly("value", &property_view::value,
                      "Its current value: a float or an int; for an enum the current choice's name (the index "
                      "when it names no choice); for other types as the device sends it.")
        .def_readonly("index", &property_view::index, "An enum's current choice index; None for other types.")
        .def_readonly("choices", &property_view::choices, "An enum's choices in order; None for other types.")
        .def("__repr__", [](const property_view& p) {
            std::string r = "tarnfb.Property(name=" + py::repr(text(p.name)).cast<std::string>() +
                            ", type=" + py::repr(text(p.type)).cast<std::string>() +
                            ", value=" + py::repr(p.value).cast<std::string>();
            if (!p.index.is_none()) r += ", index=" + py::repr(p.index).cast<std::string>();
            return r + ")";
        });

    py::class_<device>(m, "Device",
                       "The function-block device: the process's one session with /dev/functionblocks.\n\n"
                       "Every Device() is a handle on the same session. Methods may be called from several "
                       "threads at once; each releases the GIL while it talks to the device.")
        .def(py::init([] {
                 py::gil_scoped_release nogil;
                 return device{&driver::instance()};
             }),
             "Opens the device (the first time in the process). Raises DeviceError if it cannot be opened.")
        .def("factories", &factories, "The names of the device's factories, sorted.")
        .def("blocks", &blocks, py::arg("factory"), "The names of the blocks of `factory`, sorted.")
        .def("properties", &properties, py::arg("block"),
             "The properties of `block` by name, in the device's order, as Property objects.")
        .def("outputs", &outputs, py::arg("block"),
             "The output ports of `block`: port name -> [\"block.port\", ...] it feeds.")
        .def("inputs", &inputs, py::arg("block"),
             "The input ports of `block`: port name -> [\"block.port\", ...] feeding it.")
        .def("create", &create, py::arg("factory"), py::arg("name"),
             "Creates block `name` from `factory`; returns its ticket, which destroy() takes. The ticket is "
             "recorded in the device's ticket registry, so that any program can destroy the block by name "
             "(a RuntimeWarning when the registry cannot be written).")
        .def("destroy", &destroy_ticket, py::arg("ticket"),
             "destroy(ticket: int) or destroy(name: str)\n\n"
             "Destroys a block with its connections: by the ticket create() returned, or by name with the "
             "ticket the device's ticket registry holds for it (recorded by tarnfb, fbrestore or fbweb "
             "when they created it). By name, the block must still exist in the factory it was created "
             "from and the device must take the ticket; else TicketError, and a stale entry is dropped. "
             "Blocks made by patchbay's test session have no known ticket.")
        .def(
            "destroy",
            [](const device& d, const device_text& name) {
                without_gil([&] { registry().destroy(*d.session, name.bytes); });
            },
            py::arg("name"))
        .def("tickets", &destroyable,
             "The blocks that destroy(name) can remove: block name -> factory, for each entry of the ticket "
             "registry whose block the device still lists in that factory.")
        .def(
            "resource_method",
            [](const device& d, const device_text& text1, const device_text& text2, const device_text& text3,
               const device_text& text4, unsigned int number) {
                d.session->write_resource_meth(text1.bytes, text2.bytes, text3.bytes, text4.bytes, number);
            },
            release(), py::arg("text1"), py::arg("text2"), py::arg("text3"), py::arg("text4") = device_text{},
            py::arg("number") = 0,
            "Calls a resource method of the device (the library's write_resource_meth) with three or four "
            "texts and a number (an unsigned 32-bit int); what they mean is the resource's. An empty "
            "text4 is not sent.")
        .def("connect", &connect, release(), py::arg("source"), py::arg("destination"),
             "Connects output \"block.port\" `source` to input \"block.port\" `destination`.")
        .def("disconnect", &disconnect, release(), py::arg("source"), py::arg("destination"),
             "Removes the connection from `source` to `destination`.")
        .def(
            "activate",
            [](const device& d, const device_text& block, bool on) { d.session->activate(block.bytes, on); }, release(),
            py::arg("block"), py::arg("on"), "Switches `block` on or off.")
        .def("set", &set, py::arg("block"), py::arg("mapping") = py::none(),
             "set(block, mapping=None, **values)\n\n"
             "Writes properties of `block` given by name in `mapping` and as keywords, each converted to the "
             "property's declared type: float, uint32, uint8, an enum by choice name or index (and the further "
             "number types, str and lists of numbers). Every value is checked before anything is written: "
             "KeyError for an unknown property or choice, ValueError for a number out of range, TypeError for a "
             "value of the wrong kind. Then all go in one bulk write, which the device takes all or nothing.")
        .def("write", &write, py::arg("block"), py::arg("items"),
             "The raw bulk property write: `items` are (name, value) pairs (or a dict), written in order in one "
             "command. int -> int32, float -> double, str -> string, dict -> object (nested dicts, lists, "
             "bools, numbers, str), list of numbers -> float vector; tarnfb.uint32(), uint8(), int64(), "
             "uint64() and float32() choose a type. The device takes the values as they are typed.")
        .def(
            "value", [](const device& d, const device_text& name) { return d.session->value(name.bytes); }, release(),
            py::arg("name"), "The value \"block.property\" as a float.")
        .def(
            "value_str",
            [](const device& d, const device_text& name) {
                const auto value = without_gil([&] { return d.session->value_str(name.bytes); });
                return text(value);
            },
            py::arg("name"), "The value \"block.property\" as text.")
        .def(
            "values",
            [](const device& d, const std::vector<device_text>& names) {
                std::vector<std::string> asked;
                for (const auto& n : names) asked.push_back(n.bytes);
                std::vector<double> values;
                py::gil_scoped_release nogil;
                d.session->value(asked, values);
                return values;
            },
            py::arg("names"),
            "The values of several \"block.property\" names as floats, read in one command; a value that "
            "cannot be read as a number is 3e20.")
        .def("snapshot", &snapshot,
             "The whole network as a dict of the same structure as fbdump's JSON document: {\"factories\": "
             "[{\"name\", \"blocks\": [{\"name\", \"properties\", \"inputs\", \"outputs\"}]}]}.")
        .def("restore", &restore, py::arg("doc"), py::arg("dry_run") = false, py::arg("exact") = false,
             "Changes the network until it matches `doc` (a document as snapshot() returns it, or a part of "
             "one) and returns the plan's lines (create, set, disconnect, connect, destroy, keep), as "
             "fbrestore prints them. With dry_run, only plans. With exact, also disconnects connections the "
             "document does not list and destroys the blocks it lacks whose ticket the device's ticket "
             "registry holds (the others are kept). Created blocks' tickets are recorded there. All or "
             "nothing: on a failure part way, ApplyError after the changes made have been undone (a "
             "destroyed block cannot be made again: it is left changed). ValueError for a document that "
             "cannot be reached, before anything is sent.")
        .def("__repr__", [](const device&) { return "tarnfb.Device()"; });
}

}  // namespace tarnfb
