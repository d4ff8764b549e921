// SPDX-License-Identifier: MIT
#pragma once
// The device's commands: the protocol's command table, each entry with the
// handler that carries it out. The executor reads a command's arguments by
// the table's shape; the handler changes or queries the network and pushes
// its results after the status.
#include <string>

#include <tarn/fb/commands.hpp>
#include <tarn/fb/fifo.hpp>

#include "network.hpp"
#include "request_reader.hpp"

namespace fbemu {

struct call {
    const arguments& args;
    network& net;
    tarn::fb::fifo& out;  // pushes into the reply region
};

struct command {
    const tarn::fb::protocol::command& form;
    bool changes_network;  // whether a success is saved
    void (*run)(call&);
};

const command* command_with_code(int code);
const command* command_named(const std::string& name);

// Handlers, grouped by what they do.
void list_factories(call& c);
void list_funcs(call& c);
void list_func_props(call& c);
void list_outputs(call& c);
void list_inputs(call& c);
void list_output_cons(call& c);

void create(call& c);
void destroy(call& c);
void connect(call& c);
void connect_unchecked(call& c);
void disconnect(call& c);
void activate(call& c);
void res_method(call& c);

void write_func_props(call& c);
void value(call& c);

}  // namespace fbemu
