// SPDX-License-Identifier: MIT
#pragma once
// The device's commands: one table from command code (or, for the
// string-named command, name) to handler. A handler reads its arguments,
// changes or queries the network and pushes its results after the status.
#include <string>

#include <tarn/fb/fifo.hpp>

#include "network.hpp"
#include "request_reader.hpp"

namespace fbemu {

struct call {
    request_reader& in;
    network& net;
    tarn::fb::fifo& out;  // pushes into the reply region
};

struct command {
    int code;  // -1 for the string-named command
    const char* name;
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
