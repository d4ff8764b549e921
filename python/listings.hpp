// SPDX-License-Identifier: MIT
#pragma once
// The device's listings as the module reads them: the property and port
// listings of a block read while the session's lock is held, so that no other
// thread's exchange replaces the reply half-read, and the name lists without
// the count lines the session writes on standard output.
#include <set>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>
#include <tarn/fb/network.hpp>

namespace tarnfb {

std::vector<tarn::fb::property_data> read_properties(tarn::fb::driver& session, const std::string& block);
std::vector<tarn::fb::port_entry> read_inputs(tarn::fb::driver& session, const std::string& block);
std::vector<tarn::fb::port_entry> read_outputs(tarn::fb::driver& session, const std::string& block);

std::set<std::string> factory_names(tarn::fb::driver& session);
std::set<std::string> block_names(tarn::fb::driver& session, const std::string& factory);
tarn::fb::network whole_network(tarn::fb::driver& session);

}  // namespace tarnfb
