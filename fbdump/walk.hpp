// SPDX-License-Identifier: MIT
#pragma once
// The walk over the device: the factories, the blocks of each, and every
// block's properties with their values and its ports with their connections,
// all read into memory before anything is printed.
#include <set>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>

namespace fbdump {

struct block_dump {
    std::string name;
    std::vector<tarn::fb::property_data> properties;
    std::vector<tarn::fb::port_entry> inputs;
    std::vector<tarn::fb::port_entry> outputs;
};

struct factory_dump {
    std::string name;
    std::vector<block_dump> blocks;  // by name
};

using network_dump = std::vector<factory_dump>;  // by factory name

// Walks the factories in `only`, or every factory of the device when `only`
// is empty. Throws what the session and the value stream throw. The count
// lines the session's name lists write on std::cout are discarded.
network_dump walk(tarn::fb::driver& device, const std::set<std::string>& only);

}  // namespace fbdump
