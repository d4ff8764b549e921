// SPDX-License-Identifier: MIT
#pragma once
// fbdump's JSON document read back as a wanted network, forgiving where a
// person edits it by hand.
#include <stdexcept>
#include <string>

#include <tarn/fb/network.hpp>

namespace fbjson {

// A document that is not JSON or not of the document's shape; what() gives
// the place ("line 3, column 7: ..." or "factories[0].blocks[1]: ...").
class document_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads {"factories": [{"name", "blocks": [{"name", "properties": [{"name",
// "type", "value"}], "inputs": [{"name", "connections"}], "outputs"}]}]}.
// "properties", "type", "inputs", "outputs" and "connections" may be left
// out; an enum value may be a choice name, an index or fbdump's {"choices",
// "index"} object. Unknown keys are refused, so that a misspelt key is not
// silently ignored.
tarn::fb::wanted_network read_document(const std::string& text);

// Reads {"property": value, ...}, the values of some properties of one block,
// as wanted properties without a type (the device's declaration decides).
// Values are read as in a document. Throws document_error.
std::vector<tarn::fb::wanted_property> read_property_values(const std::string& text);

}  // namespace fbjson
