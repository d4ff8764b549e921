// SPDX-License-Identifier: MIT
#pragma once
// What fbdump's JSON document must say about a network described in the
// emulator's network file format (a catalog or state file), worked out from
// that description alone.
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace fbdump_test {

using json = nlohmann::json;

// The document for `network`, limited to the factories in `only` unless it
// is empty.
json expected_document(const json& network, const std::set<std::string>& only = {});

}  // namespace fbdump_test
