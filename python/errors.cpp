// SPDX-License-Identifier: MIT
// Exception classes of the module and the translation of the library's
// exceptions into them (or into TypeError, ValueError, KeyError).
#include "errors.hpp"

#include <exception>
#include <string>

#include <tarn/exception.hpp>
#include <tarn/fb/driver.hpp>
#include <tarn/fb/failure_text.hpp>
#include <tarn/fb/fifo.hpp>
#include <tarn/fb/network.hpp>
#include <tarn/fb/ticket_registry.hpp>
#include <tarn/fb/typed_write.hpp>

#include "document_reader.hpp"
#include "values.hpp"

namespace py = pybind11;

namespace tarnfb {

namespace {

// The classes, created once when the module is imported and kept for the
// life of the process.
PyObject* error_class = nullptr;
PyObject* device_error_class = nullptr;
PyObject* stream_error_class = nullptr;
PyObject* apply_error_class = nullptr;
PyObject* ticket_error_class = nullptr;

PyObject* new_class(py::module_& m, const char* name, const char* doc, PyObject* base) {
    const std::string qualified = std::string("tarnfb.") + name;
    PyObject* c = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
    if (c == nullptr) throw py::error_already_set();
    m.add_object(name, py::reinterpret_borrow<py::object>(c));
    return c;
}

// Raises an instance of `type` made from `message`, with extra attributes.
// The message may carry the device's text, which need not be UTF-8.
void raise(PyObject* type, const char* message,
           std::initializer_list<std::pair<const char*, py::object>> attributes = {}) {
    py::object error = py::reinterpret_borrow<py::object>(type)(text(message));
    for (const auto& a : attributes) error.attr(a.first) = a.second;
    PyErr_SetObject(type, error.ptr());
}

PyObject* python_class_of(tarn::fb::value_error::reason why) {
    using reason = tarn::fb::value_error::reason;
    switch (why) {
    case reason::unknown_property:
    case reason::unknown_choice: return PyExc_KeyError;
    case reason::out_of_range: return PyExc_ValueError;
    case reason::wrong_type:
    case reason::not_writable: return PyExc_TypeError;
    }
    return PyExc_ValueError;
}

// Most derived first: every library exception is a tarn::exception::exception.
void translate(std::exception_ptr thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const tarn::fb::value_error& e) {
        raise(python_class_of(e.why), e.what());
    } catch (const tarn::fb::plan_error& e) {
        raise(PyExc_ValueError, e.what());
    } catch (const fbjson::document_error& e) {
        raise(PyExc_ValueError, e.what());
    } catch (const tarn::fb::apply_error& e) {
        py::list left;
        for (const std::string& line : e.left_changed) left.append(text(line));
        raise(apply_error_class, e.what(), {{"failed", py::int_(e.failed)}, {"left_changed", left}});
    } catch (const tarn::fb::ticket_unknown& e) {
        raise(ticket_error_class, e.what());
    } catch (const tarn::fb::driver::error& e) {
        raise(device_error_class, tarn::fb::describe_failure(e).c_str(), {{"code", py::int_(e.code)}});
    } catch (const tarn::fb::fifo::error& e) {
        raise(stream_error_class, e.what());
    } catch (const tarn::exception::exception& e) {
        raise(error_class, e.what());
    }
}

}  // namespace

void bind_errors(py::module_& m) {
    error_class =
        new_class(m, "Error", "Base of the errors of the function-block device and its client.", PyExc_RuntimeError);
    device_error_class = new_class(m, "DeviceError",
                                   "The device could not be opened or refused a command.\n\n"
                                   "code: the device's error code, or 0 for a failure the client found itself "
                                   "(the device cannot be opened, the ioctl failed).",
                                   error_class);
    PyObject_SetAttrString(device_error_class, "code", py::int_(0).ptr());
    stream_error_class = new_class(m, "StreamError",
                                   "A reply of the device that cannot be read: a value missing, cut short or "
                                   "of another type than expected.",
                                   error_class);
    apply_error_class = new_class(m, "ApplyError",
                                  "restore() failed part way; the changes already made have been undone as far "
                                  "as the device allowed.\n\n"
                                  "failed: index in the plan of the change that failed.\n"
                                  "left_changed: plan lines of changes whose undo failed too (empty when the "
                                  "device is back where it was).",
                                  error_class);
    ticket_error_class = new_class(m, "TicketError",
                                   "destroy(name) found no usable ticket for the block: none is recorded (it was "
                                   "made by a program that keeps no tickets), or the recorded one is stale and "
                                   "has been dropped. The message says which.",
                                   error_class);
    PyObject_SetAttrString(apply_error_class, "failed", py::int_(0).ptr());
    PyObject_SetAttrString(apply_error_class, "left_changed", py::tuple().ptr());
    py::register_exception_translator(&translate);
}

}  // namespace tarnfb
