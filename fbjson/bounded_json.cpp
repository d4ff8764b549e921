// SPDX-License-Identifier: MIT
// Parsing JSON with a depth limit and refusing duplicate keys, both checked
// while the text is read, before a deep or ambiguous value is built.
#include "bounded_json.hpp"

#include <set>
#include <vector>

#include "document_reader.hpp"

namespace fbjson {

namespace {

using json = nlohmann::json;
using event = json::parse_event_t;

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

// A limit broken while parsing; thrown out of the parser's callback.
struct broken_limit {
    std::string message;
};

// The open arrays and objects while the parser reads, for the place of a
// refusal and the keys seen in each object.
class open_values {
public:
    bool on(int depth, event e, const json& parsed) {
        switch (e) {
        case event::object_start:
        case event::array_start:
            element();
            if (depth >= max_depth)
                throw broken_limit{place() + ": nested deeper than " + std::to_string(max_depth) + " levels"};
            open_.push_back({e == event::array_start, 0, {}, {}});
            break;
        case event::key: {
            frame& top = open_.back();
            top.key.clear();  // the place of the object itself
            const std::string& key = parsed.get_ref<const std::string&>();
            if (!top.keys.insert(key).second) throw broken_limit{place() + ": key \"" + key + "\" given twice"};
            top.key = key;
            break;
        }
        case event::object_end:
        case event::array_end: open_.pop_back(); break;
        case event::value: element(); break;
        }
        return true;
    }

private:
    struct frame {
        bool array;
        std::size_t count;          // array: elements seen so far
        std::string key;            // object: the key being read
        std::set<std::string> keys;  // object: every key seen
    };

    // Counts an element of the enclosing array.
    void element() {
        if (!open_.empty() && open_.back().array) ++open_.back().count;
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

    std::vector<frame> open_;
};

}  // namespace

json parse_bounded(const std::string& text) {
    open_values open;
    try {
        return json::parse(text, [&open](int depth, event e, json& parsed) { return open.on(depth, e, parsed); });
    } catch (const broken_limit& e) {
        throw document_error(e.message);
    } catch (const json::parse_error& e) {
        std::string why = e.what();
        // nlohmann's own text after its "[json.exception.parse_error.101] " prefix
        if (const auto colon = why.find(": "); colon != std::string::npos) why = why.substr(colon + 2);
        throw document_error(position(text, e.byte == 0 ? 0 : e.byte - 1) + ": " + why);
    } catch (const json::exception& e) {
        // A number too large for any type (out_of_range 406), without a position.
        std::string why = e.what();
        if (const auto bracket = why.find("] "); bracket != std::string::npos) why = why.substr(bracket + 2);
        throw document_error(why);
    }
}

}  // namespace fbjson
