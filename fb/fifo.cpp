// SPDX-License-Identifier: MIT
// Strings and numeric vectors: a tag, a length or count word, then the bytes.
#include <tarn/fb/fifo.hpp>

namespace tarn {
namespace fb {

using detail::load32;
using detail::region;
using detail::store32;

fifo::error::error(const std::string& message) : tarn::exception::exception(message) {}
fifo::error::~error() = default;

void fifo::fail(const char* op, const char* type_name) {
    std::string message(op);
    message += '<';
    message += type_name;
    message += "> failed";
    throw error(message);
}

namespace {

// Writes tag, length word `word`, then `n` bytes from `data` and, for strings,
// a NUL. Fails with the type's name when it does not fit.
void push_counted(unsigned char* header, std::uint32_t tag, const char* name, std::uint32_t word, const void* data,
                  std::size_t n, bool nul) {
    region r(header);
    r.add(detail::push_count, 1);
    const auto space = r.free_space(4);
    if (!space) throw fifo::error(std::string("push<") + name + "> failed");
    unsigned char* const at = space->at;
    store32(at, tag);
    r.add(detail::write_cursor, 4);
    const std::uint64_t need = 4 + std::uint64_t{n} + (nul ? 1 : 0);
    if (space->size - 4 < need) throw fifo::error(std::string("push<") + name + "> failed");
    store32(at + 4, word);
    if (n) std::memcpy(at + 8, data, n);
    if (nul) at[8 + n] = 0;
    r.add(detail::write_cursor, static_cast<std::uint32_t>(need));
}

// Reads tag and length/count word of a counted value; returns the address of
// its bytes and their number (the word times `unit`). Fails, consuming what
// the wire rules say, when anything is missing or the bytes would reach past
// write_cursor.
const unsigned char* pop_counted(unsigned char* header, std::uint32_t tag, const char* name, std::uint32_t unit,
                                 std::uint32_t& word) {
    region r(header);
    r.add(detail::pop_count, 1);
    auto failed = [name] { return fifo::error(std::string("pop<") + name + "> failed"); };
    const auto in = r.unread(4);
    if (!in) throw failed();
    const unsigned char* const at = in->at;
    const std::uint32_t available = in->size;
    const std::uint32_t t = load32(at);
    r.add(detail::read_cursor, 4);
    if (t != tag || available < 8) throw failed();
    word = load32(at + 4);
    r.add(detail::read_cursor, 4);
    const std::uint64_t bytes = std::uint64_t{word} * unit;
    if (bytes > available - 8) throw failed();
    r.add(detail::read_cursor, static_cast<std::uint32_t>(bytes));
    return at + 8;
}

template <class V>
void push_vector(unsigned char* header, const V& v) {
    using w = wire<V>;
    const std::size_t bytes = v.size() * sizeof(typename V::value_type);
    if (v.size() > 0xffffffffu) throw fifo::error(std::string("push<") + w::name() + "> failed");
    push_counted(header, w::tag, w::name(), static_cast<std::uint32_t>(v.size()), v.data(), bytes, false);
}

template <class V>
void pop_vector(unsigned char* header, V& into) {
    using w = wire<V>;
    std::uint32_t n;
    const unsigned char* p = pop_counted(header, w::tag, w::name(), sizeof(typename V::value_type), n);
    into.resize(n);
    if (n) std::memcpy(into.data(), p, n * sizeof(typename V::value_type));
}

// The characters of a string without its NUL; a length word of 0 describes
// no valid string (not even the NUL).
const char* pop_chars(unsigned char* header, std::uint32_t& count) {
    std::uint32_t length;
    const unsigned char* p = pop_counted(header, tag_string, names::string, 1, length);
    if (length == 0) throw fifo::error(std::string("pop<") + names::string + "> failed");
    count = length - 1;
    return reinterpret_cast<const char*>(p);
}

}  // namespace

template <>
void fifo::push<std::string>(const std::string& value) {
    // The length word counts the terminating NUL: characters + 1.
    if (value.size() >= 0xffffffffu) fail("push", names::string);
    push_counted(request_header, tag_string, names::string, static_cast<std::uint32_t>(value.size() + 1), value.data(),
                 value.size(), true);
}

template <>
std::string fifo::pop<std::string>() {
    std::uint32_t n;
    const char* chars = pop_chars(reply_header, n);
    return std::string(chars, n);
}

void fifo::pop_into(std::string& value) {
    std::uint32_t n;
    const char* chars = pop_chars(reply_header, n);
    value.assign(chars, n);
}

template <>
void fifo::push<std::vector<float>>(const std::vector<float>& value) {
    push_vector(request_header, value);
}
template <>
void fifo::push<std::vector<double>>(const std::vector<double>& value) {
    push_vector(request_header, value);
}
template <>
std::vector<float> fifo::pop<std::vector<float>>() {
    std::vector<float> v;
    pop_vector(reply_header, v);
    return v;
}
template <>
std::vector<double> fifo::pop<std::vector<double>>() {
    std::vector<double> v;
    pop_vector(reply_header, v);
    return v;
}
void fifo::pop_into(std::vector<float>& value) { pop_vector(reply_header, value); }
void fifo::pop_into(std::vector<double>& value) { pop_vector(reply_header, value); }

}  // namespace fb
}  // namespace tarn
