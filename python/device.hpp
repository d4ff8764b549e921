// SPDX-License-Identifier: MIT
#pragma once
// The Device class of the module: the process-wide device session with its
// listing, editing and value operations, and the Property class it lists.
#include <pybind11/pybind11.h>

namespace tarnfb {

void bind_device(pybind11::module_& m);

}  // namespace tarnfb
