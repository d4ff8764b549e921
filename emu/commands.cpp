// SPDX-License-Identifier: MIT
// The command table.
#include "commands.hpp"

namespace fbemu {
namespace {

const command commands[] = {
    {3, "create", true, create},
    {4, "destroy", true, destroy},
    {5, "connect", true, connect},
    {6, "connect_unchecked", true, connect_unchecked},
    {7, "disconnect", true, disconnect},
    {8, "write_func_props", true, write_func_props},
    {10, "value", false, value},
    {13, "activate", true, activate},
    {15, "res_method", true, res_method},
    {16, "list_factories", false, list_factories},
    {17, "list_funcs", false, list_funcs},
    {18, "list_func_props", false, list_func_props},
    {19, "list_outputs", false, list_outputs},
    {20, "list_inputs", false, list_inputs},
    {-1, "list_output_cons", false, list_output_cons},
};

}  // namespace

const command* command_with_code(int code) {
    for (const auto& c : commands)
        if (c.code >= 0 && c.code == code) return &c;
    return nullptr;
}

const command* command_named(const std::string& name) {
    for (const auto& c : commands)
        if (c.code < 0 && name == c.name) return &c;
    return nullptr;
}

}  // namespace fbemu
