// SPDX-License-Identifier: MIT
#pragma once
// The device's commands as one table: code, the operation name failure
// messages start with, and the shape of the arguments that follow the code.
// The client's operations send from it and the emulator dispatches on it.
#include <array>
#include <cstddef>
#include <string>
#include <type_traits>

namespace tarn {
namespace fb {
namespace protocol {

// One argument, or a run of them up to the end of the request.
enum class arg : unsigned char {
    text,           // a string
    uint32,         // an unsigned int
    int32,          // an int
    optional_text,  // a string, or nothing when the request ends here
    texts,          // strings up to the end of the request
    named_values,   // a name (string) and a value of any type, up to the end
};

struct argument {
    arg kind;
    const char* what;  // how messages about the argument name it
};

constexpr std::size_t max_arguments = 5;

struct command {
    int code;          // -1 for the string-named command, which is sent as its name
    const char* name;  // also the name of the string-named command
    std::size_t arity;
    std::array<argument, max_arguments> args;
};

inline constexpr command create{3, "create", 2, {{{arg::text, "factory name"}, {arg::text, "block name"}}}};
inline constexpr command destroy{4, "destroy", 1, {{{arg::uint32, "ticket"}}}};
inline constexpr command connect{5, "connect", 2, {{{arg::text, "source"}, {arg::text, "destination"}}}};
inline constexpr command connect_unchecked{
    6, "connect_unchecked", 2, {{{arg::text, "source"}, {arg::text, "destination"}}}};
inline constexpr command disconnect{7, "disconnect", 2, {{{arg::text, "source"}, {arg::text, "destination"}}}};
inline constexpr command write_func_props{
    8, "write_func_props", 2, {{{arg::text, "block name"}, {arg::named_values, "property name"}}}};
// The single-property write: the same code as the bulk write with one pair.
inline constexpr command write_func_prop{
    8, "write_func_prop", 2, {{{arg::text, "block name"}, {arg::named_values, "property name"}}}};
inline constexpr command value{10, "value", 1, {{{arg::texts, "value name"}}}};
inline constexpr command activate{13, "activate", 2, {{{arg::text, "block name"}, {arg::int32, "activity flag"}}}};
inline constexpr command res_method{15,
                                    "res_method",
                                    5,
                                    {{{arg::text, "first text"},
                                      {arg::text, "second text"},
                                      {arg::uint32, "number"},
                                      {arg::text, "third text"},
                                      {arg::optional_text, "fourth text"}}}};
inline constexpr command list_factories{16, "list_factories", 0, {}};
inline constexpr command list_funcs{17, "list_funcs", 1, {{{arg::text, "factory name"}}}};
inline constexpr command list_func_props{18, "list_func_props", 1, {{{arg::text, "block name"}}}};
inline constexpr command list_outputs{19, "list_outputs", 1, {{{arg::text, "block name"}}}};
inline constexpr command list_inputs{20, "list_inputs", 1, {{{arg::text, "block name"}}}};
inline constexpr command list_output_cons{-1, "list_output_cons", 1, {{{arg::text, "output name"}}}};

// The argument kind a C++ value is sent as.
template <class T>
constexpr arg kind_of() {
    static_assert(std::is_same_v<T, std::string> || std::is_same_v<T, unsigned int> || std::is_same_v<T, int>,
                  "commands take strings, unsigned ints and ints");
    if constexpr (std::is_same_v<T, std::string>) return arg::text;
    if constexpr (std::is_same_v<T, unsigned int>) return arg::uint32;
    return arg::int32;
}

// Whether values of the types Args, in this order, are a complete argument
// list of `c`. Name and value pairs are pushed one by one, not through here.
template <class... Args>
constexpr bool takes(const command& c) {
    constexpr std::size_t n = sizeof...(Args);
    constexpr arg given[] = {kind_of<Args>()..., arg::text};  // one more, so that it is never empty
    std::size_t i = 0;
    for (std::size_t a = 0; a < c.arity; ++a) {
        switch (c.args[a].kind) {
        case arg::texts:
            while (i < n && given[i] == arg::text) ++i;
            break;
        case arg::optional_text:
            if (i < n && given[i] == arg::text) ++i;
            break;
        case arg::named_values: return false;
        default:
            if (i == n || given[i] != c.args[a].kind) return false;
            ++i;
        }
    }
    return i == n;
}

}  // namespace protocol
}  // namespace fb
}  // namespace tarn
