// SPDX-License-Identifier: MIT
// The listing front end: the device's lists as bordered, right-aligned tables.
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <set>
#include <string>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>

#include "colors.hpp"
#include "frontends.hpp"

namespace {

std::ostream& out = std::cout;
constexpr const char* bar = " |";
constexpr const char* row_opener = "| ";

void rule(int width) { out << std::setfill('-') << std::setw(width) << "" << std::endl << std::setfill(' '); }

void title(const char* text, const std::string& name) {
    out << text << color_green << name << color_reset << "\n" << std::endl;
}

void name_table(const std::set<std::string>& names, bool rule_after_each_row) {
    int row = 1;
    for (const auto& name : names) {
        out << row_opener << std::setw(8) << row++ << bar << color_green << std::setw(24) << name << color_reset << bar
            << std::endl;
        if (rule_after_each_row) rule(37);
    }
}

void list_factories() {
    const auto names = tarn::fb::driver::instance().list_factories();
    out << std::setw(10) << "  No." << bar << std::setw(25) << "  factory" << std::endl;
    rule(37);
    name_table(names, true);
}

void list_blocks(const std::string& factory) {
    const auto names = tarn::fb::driver::instance().list_funcs(factory);
    title("patchbay: list functionblocks for factory: ", factory);
    out << std::setw(10) << " Nr." << bar << std::setw(25) << "  functionblock" << std::endl;
    name_table(names, false);
    rule(37);
}

void list_properties(const std::string& block) {
    tarn::fb::fifo& reply = tarn::fb::driver::instance().list_func_props(block);
    title("list properties for functionblock: ", block);
    const int count = reply.pop<int>();
    out << "list props: count = " << count << std::endl;
    out << std::setw(10) << "No." << bar << std::setw(25) << "prop" << bar << std::setw(16) << "type" << bar
        << std::setw(16) << "value" << bar << std::endl;
    rule(75);
    for (int row = 1; row <= count; ++row) {
        const tarn::fb::property_entry p = tarn::fb::pop_property_entry(reply);
        out << row_opener << std::setw(8) << row << bar << color_green << std::setw(24) << p.name << bar
            << std::setw(16) << p.type << bar << std::setw(16) << p.value << color_reset << bar << std::endl;
    }
}

struct port_listing {
    const char* title;
    const char* count_label;
    tarn::fb::fifo& (tarn::fb::driver::*query)(const std::string&);
};

void list_ports(const port_listing& kind, const std::string& block) {
    tarn::fb::fifo& reply = (tarn::fb::driver::instance().*kind.query)(block);
    title(kind.title, block);
    const int count = reply.pop<int>();
    out << kind.count_label << count << std::endl;
    out << std::setw(10) << "No." << bar << std::setw(25) << "port" << bar << std::setw(32) << "connected with" << bar
        << std::endl;
    rule(68);
    for (int row = 1; row <= count; ++row) {
        // Each row is written as soon as its connection name is read, so a
        // reply that ends early leaves every complete row on the output.
        const std::string port = reply.pop<std::string>();
        const int connections = reply.pop<int>();
        const std::string first = connections != 0 ? reply.pop<std::string>() : std::string();
        out << row_opener << std::setw(8) << row << bar << color_green << std::setw(24) << port << bar << std::setw(32)
            << first << color_reset << bar << std::endl;
        // Further connections of the port on rows of their own.
        for (int more = 1; more < connections; ++more) {
            const std::string next = reply.pop<std::string>();
            out << row_opener << std::setw(8) << bar << color_green << std::setw(24) << bar << std::setw(32) << next
                << color_reset << bar << std::endl;
        }
    }
}

const port_listing outputs{
    "list outports for functionblock: ", "list outs: count = ", &tarn::fb::driver::list_func_outputs};
const port_listing inputs{
    "list inports for functionblock: ", "list ins: count = ", &tarn::fb::driver::list_func_inputs};

}  // namespace

int fb_list(std::string action, std::string name, int /*argc*/) {
    if (action == "fac")
        list_factories();
    else if (action == "fb")
        list_blocks(name);
    else if (action == "prop")
        list_properties(name);
    else if (action == "out")
        list_ports(outputs, name);
    else if (action == "in")
        list_ports(inputs, name);
    else
        std::printf("patchbay: unknown list command\n");
    return 0;
}
