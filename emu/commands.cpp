// SPDX-License-Identifier: MIT
// The handler of each command of the protocol's table.
#include "commands.hpp"

namespace fbemu {
namespace {

namespace protocol = tarn::fb::protocol;

const command commands[] = {
    {protocol::create, true, create},
    {protocol::destroy, true, destroy},
    {protocol::connect, true, connect},
    {protocol::connect_unchecked, true, connect_unchecked},
    {protocol::disconnect, true, disconnect},
    {protocol::write_func_props, true, write_func_props},
    {protocol::value, false, value},
    {protocol::activate, true, activate},
    {protocol::res_method, true, res_method},
    {protocol::list_factories, false, list_factories},
    {protocol::list_funcs, false, list_funcs},
    {protocol::list_func_props, false, list_func_props},
    {protocol::list_outputs, false, list_outputs},
    {protocol::list_inputs, false, list_inputs},
    {protocol::list_output_cons, false, list_output_cons},
};

}  // namespace

const command* command_with_code(int code) {
    for (const auto& c : commands)
        if (c.form.code >= 0 && c.form.code == code) return &c;
    return nullptr;
}

const command* command_named(const std::string& name) {
    for (const auto& c : commands)
        if (c.form.code < 0 && name == c.form.name) return &c;
    return nullptr;
}

}  // namespace fbemu
