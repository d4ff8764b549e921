// SPDX-License-Identifier: MIT
// Parsing JSON with a depth limit and refusing duplicate keys, both checked
// while the text is read, before a deep or ambiguous value is built. The
// value is built here from the parser's events, each in constant time, so
// that no input makes the parse slower than linear.
#include "bounded_json.hpp"

#include <utility>
#include <vector>

#include "document_reader.hpp"

namespace fbjson {

namespace {

using json = nlohmann::json;

// "line L, column C" of a byte offset in the text.
std::string position(const std::string& text, std::size_t offset) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Builds the value from the parser's events (nlohmann's SAX interface) and
// throws document_error where a limit is broken or the text is not JSON.
class bounded_builder {
public:
    bounded_builder(const std::string& text, json& root) : text_(text), root_(root) {}

    bool null() { return put(nullptr) != nullptr; }
    bool boolean(bool v) { return put(v) != nullptr; }
    bool number_integer(json::number_integer_t v) { return put(v) != nullptr; }
    bool number_unsigned(json::number_unsigned_t v) { return put(v) != nullptr; }
    bool number_float(json::number_float_t v, const json::string_t& /*text*/) { return put(v) != nullptr; }
    bool string(json::string_t& v) { return put(std::move(v)) != nullptr; }
    bool binary(json::binary_t& v) { return put(json::binary(std::move(v))) != nullptr; }
    bool start_object(std::size_t /*elements*/) { return open(json::object(), false); }
    bool start_array(std::size_t /*elements*/) { return open(json::array(), true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& k) {
        frame& top = open_.back();
        top.key.clear();  // the place of the object itself
        if (top.value->contains(k)) throw document_error(place() + ": key \"" + k + "\" given twice");
        top.key = std::move(k);
        return true;
    }

    bool parse_error(std::size_t byte, const std::string& /*token*/, const json::exception& e) {
        std::string why = e.what();
        if (e.id / 100 == 1) {
            // nlohmann's own text after its "[json.exception.parse_error.101] ...: " prefix
            if (const auto colon = why.find(": "); colon != std::string::npos) why = why.substr(colon + 2);
            throw document_error(position(text_, byte == 0 ? 0 : byte - 1) + ": " + why);
        }
        // A number too large for any type (out_of_range 406), without a position.
        if (const auto bracket = why.find("] "); bracket != std::string::npos) why = why.substr(bracket + 2);
        throw document_error(why);
    }

private:
    struct frame {
        json* value;
        bool array;
        std::size_t count;  // array: elements so far
        std::string key;    // object: the key being read
    };

    // Adds a value to the open array or object (or makes it the root); the
    // place it now has.
    json* put(json&& v) {
        if (open_.empty()) {
            root_ = std::move(v);
            return &root_;
        }
        frame& top = open_.back();
        if (top.array) {
            ++top.count;
            top.value->push_back(std::move(v));
            return &top.value->back();
        }
        json& slot = (*top.value)[top.key];
        slot = std::move(v);
        return &slot;
    }

    bool open(json&& empty, bool array) {
        if (open_.size() >= static_cast<std::size_t>(max_depth)) {
            if (!open_.empty() && open_.back().array) ++open_.back().count;
            throw document_error(place() + ": nested deeper than " + std::to_string(max_depth) + " levels");
        }
        json* value = put(std::move(empty));
        open_.push_back({value, array, 0, {}});
        return true;
    }

    bool close() {
        open_.pop_back();
        return true;
    }

    // Where the parser is, as "a.b[2].c"; "document" at the top.
    std::string place() const {
        std::string out;
        for (const frame& f : open_) {
            if (f.array && f.count > 0) out += "[" + std::to_string(f.count - 1) + "]";
            if (!f.array && !f.key.empty()) out += (out.empty() ? "" : ".") + f.key;
        }
        return out.empty() ? "document" : out;
    }

    const std::string& text_;
    json& root_;
    std::vector<frame> open_;
};

}  // namespace

json parse_bounded(const std::string& text) {
    json root;
    bounded_builder builder(text, root);
    json::sax_parse(text, &builder);
    return root;
}

}  // namespace fbjson
