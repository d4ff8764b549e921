// SPDX-License-Identifier: MIT
// Checked reads from the request region through the library's value stream.
#include "request_reader.hpp"

#include <tarn/fb/region.hpp>

#include "failure.hpp"
#include "value_types.hpp"

namespace fbemu {
namespace {

std::string describe_tag(std::uint32_t tag) {
    if (const value_type* t = type_with_tag(tag)) return t->name;
    switch (tag) {
    case tarn::fb::tag_uint16: return "uint16";
    case tarn::fb::tag_array_end: return "an array end marker";
    case tarn::fb::tag_object_end: return "an object end marker";
    default: return "unknown tag " + std::to_string(tag);
    }
}

}  // namespace

std::uint32_t request_reader::peek_tag(const std::string& what) const {
    const auto tag = tarn::fb::detail::region(f_.reply_header).next_tag();
    if (!tag) throw failure(err_truncated, what + " missing");
    return *tag;
}

bool request_reader::at_end() const { return !tarn::fb::detail::region(f_.reply_header).unread(1); }

template <class T>
T request_reader::take(const std::string& what, const char* type_name) {
    const std::uint32_t tag = peek_tag(what);
    if (tag != tarn::fb::wire<T>::tag)
        throw failure(err_wrong_type, what + ": " + type_name + " expected, found " + describe_tag(tag));
    try {
        return f_.pop<T>();
    } catch (const tarn::fb::fifo::error&) {
        throw failure(err_truncated, what + " incomplete: the request ends inside it");
    }
}

std::string request_reader::text(const std::string& what) { return take<std::string>(what, "string"); }
int request_reader::int32(const std::string& what) { return take<int>(what, "int32"); }
unsigned int request_reader::uint32(const std::string& what) { return take<unsigned int>(what, "uint32"); }

boost::any request_reader::value(const std::string& what) {
    const std::uint32_t tag = peek_tag(what);
    const value_type* t = type_with_tag(tag);
    if (!t) throw failure(err_wrong_type, what + ": a value expected, found " + describe_tag(tag));
    try {
        return t->pop(f_);
    } catch (const tarn::fb::fifo::error& e) {
        throw failure(err_truncated, what + " malformed: " + e.what());
    }
}

arguments request_reader::read(const tarn::fb::protocol::command& c) {
    using tarn::fb::protocol::arg;
    arguments a;
    for (std::size_t i = 0; i < c.arity; ++i) {
        const std::string what = c.args[i].what;
        switch (c.args[i].kind) {
        case arg::text: a.texts.push_back(text(what)); break;
        case arg::uint32: a.uint32s.push_back(uint32(what)); break;
        case arg::int32: a.int32s.push_back(int32(what)); break;
        case arg::optional_text:
            if (!at_end()) a.texts.push_back(text(what));
            break;
        case arg::texts:
            while (!at_end()) a.texts.push_back(text(what));
            break;
        case arg::named_values:
            // Each value is named by the block (the first text) and its property.
            while (!at_end()) {
                std::string name = text(what);
                boost::any v = value("value of " + a.texts.at(0) + "." + name);
                a.named_values.emplace_back(std::move(name), std::move(v));
            }
            break;
        }
    }
    return a;
}

}  // namespace fbemu
