// SPDX-License-Identifier: MIT
#pragma once
// The JSON values of the document's pieces, for the code in fbjson that
// builds other documents from them.
#include <nlohmann/json.hpp>
#include <tarn/fb/network.hpp>

namespace fbjson {

using ordered_json = nlohmann::ordered_json;

// {"name", "properties", "inputs", "outputs"}, as the document shows a block.
ordered_json block_value(const tarn::fb::block_state& block);

// A property's "value" as the document shows it ({"choices", "index"} for an enum).
ordered_json property_value(const tarn::fb::property_data& property);

// Text of a JSON value on one line, bytes that are not UTF-8 made U+FFFD.
std::string one_line(const ordered_json& value);

}  // namespace fbjson
