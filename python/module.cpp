// SPDX-License-Identifier: MIT
// The extension module tarnfb._tarnfb: libtarn-fb for Python.
#include <pybind11/pybind11.h>

#include "device.hpp"
#include "errors.hpp"
#include "values.hpp"

namespace py = pybind11;

PYBIND11_MODULE(_tarnfb, m) {
    m.doc() = "The function-block device from Python: list, edit, read and write the network of /dev/functionblocks.";
    m.attr("__version__") = TARNFB_VERSION;
    tarnfb::bind_errors(m);
    tarnfb::bind_value_types(m);
    tarnfb::bind_device(m);
    // The package tarnfb re-exports these; help() and error messages show them there.
    py::list public_names;
    for (const char* name : {"Device", "Property", "Error", "DeviceError", "StreamError", "ApplyError", "TicketError",
                             "uint32", "uint8", "int64", "uint64", "float32"}) {
        public_names.append(name);
        m.attr(name).attr("__module__") = "tarnfb";
    }
    m.attr("__all__") = public_names;
}
