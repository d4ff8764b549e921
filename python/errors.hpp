// SPDX-License-Identifier: MIT
#pragma once
// The module's exception classes and the one place where the library's
// exceptions become Python errors.
#include <pybind11/pybind11.h>

namespace tarnfb {

// Adds Error, DeviceError, StreamError and ApplyError to the module and
// registers the translation of every exception a binding lets through.
void bind_errors(pybind11::module_& m);

}  // namespace tarnfb
