// SPDX-License-Identifier: MIT
// The interactive test session: a numbered menu on standard input.
#include <iostream>
#include <limits>
#include <map>
#include <string>

#include <tarn/fb/failure_text.hpp>

#include "fb_command.hpp"
#include "frontends.hpp"

namespace {

std::ostream& out = std::cout;
using ticket_table = std::map<std::string, unsigned int>;

enum class input { ok, bad, end };

// Reads one answer. End of input (after any blanks) ends the session; an
// answer that is not a value of T is discarded with the rest of its line.
template <class T>
input read(T& value) {
    if ((std::cin >> std::ws).eof()) return input::end;
    if (std::cin >> value) return input::ok;
    if (std::cin.bad()) return input::end;
    std::cin.clear();
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    return input::bad;
}

// Writes a prompt and reads a word; false at end of input.
bool ask(const char* prompt, std::string& answer) {
    out << prompt << std::endl;
    return read(answer) == input::ok;
}

void show_menu() {
    static const char* const lines[] = {
        "\nWelcome to test mode ...",
        "please choose one of the following options:\n",
        "1 : list all factories",
        "2 : list all functionblocks of a factory",
        "3 : list all properties of a funcblock",
        "4 : list all outports of a funcblock",
        "5 : list all inports of a funcblock",
        "6 : create a funcblock",
        "7 : delete a funcblock",
        "8 : write a functionblock property",
        "9 : connect two funcblocks",
        "10 : disconnect two funcblocks",
        "11 : exit",
    };
    for (const char* line : lines) out << line << std::endl;
}

constexpr const char* block_prompt = "please insert functionblock name:   ";

// Choices 1 to 5: what is written first, whether a name is read, the listing.
struct listing_choice {
    const char* first_line;
    bool reads_name;
    const char* action;
    int argc;
};
constexpr listing_choice listing_choices[] = {
    {"Factories:", false, "fac", 3}, {"please insert factory name:", true, "fb", 4},
    {block_prompt, true, "prop", 4}, {block_prompt, true, "out", 4},
    {block_prompt, true, "in", 4},
};

// Each choice returns false when input ended and the session must stop.
bool run_listing(const listing_choice& c) {
    std::string name;
    if (c.reads_name) {
        if (!ask(c.first_line, name)) return false;
    } else {
        out << c.first_line << std::endl;
    }
    fb_list(c.action, name, c.argc);
    return true;
}

bool create_block(ticket_table& tickets) {
    std::string factory, name;
    if (!ask("please insert a factory name:   ", factory)) return false;
    if (!ask("please insert a new functionblock name (must be unique):   ", name)) return false;
    const auto ticket = static_cast<unsigned int>(fb_command<int>("create", factory, name, 0));
    out << "ticket = " << ticket << std::endl;
    if (ticket == 0)
        out << "create functionblock error !!" << std::endl;
    else
        tickets.emplace(name, ticket);  // an existing entry keeps its ticket
    return true;
}

bool delete_block(ticket_table& tickets) {
    std::string name;
    if (!ask(block_prompt, name)) return false;
    const unsigned int ticket = tickets[name];
    out << "ticket = " << ticket << std::endl;
    if (fb_command<unsigned int>("delete", name, "", ticket) < 0)
        out << "... something went wrong when destroying the functionblock" << std::flush;
    return true;
}

bool write_property() {
    std::string block, property, type;
    if (!ask("please insert the funcblock name:   ", block)) return false;
    if (!ask("please insert the property name:   ", property)) return false;
    if (!ask("please insert the property data type:   ", type)) return false;
    if (type != "float") return true;
    out << "please insert the new value of the propery:" << std::endl;
    float value;
    switch (read(value)) {
    case input::end: return false;
    case input::bad: out << "invalid value" << std::endl; return true;
    case input::ok: break;
    }
    fb_command<float>("prop", block, property, value);
    return true;
}

// Choices 9 and 10: endpoints are "block.port", source first.
bool link_blocks(const char* command) {
    std::string src_block, dest_block, src_port, dest_port;
    if (!ask("please insert the src funcblock name:   ", src_block)) return false;
    if (!ask("please insert the dest funcblock name:   ", dest_block)) return false;
    if (!ask("please insert the src port name:   ", src_port)) return false;
    if (!ask("please insert the dest port name:   ", dest_port)) return false;
    fb_command<int>(command, src_block + "." + src_port, dest_block + "." + dest_port, 0);
    return true;
}

// Runs one menu choice; false when the session ends.
bool run_choice(int choice, ticket_table& tickets) {
    if (choice >= 1 && choice <= 5) return run_listing(listing_choices[choice - 1]);
    switch (choice) {
    case 6: return create_block(tickets);
    case 7: return delete_block(tickets);
    case 8: return write_property();
    case 9: return link_blocks("connect");
    case 10: return link_blocks("disconnect");
    case 11: return false;
    default: out << "Unknown command" << std::endl; return true;
    }
}

}  // namespace

int test_mode() {
    ticket_table tickets;
    for (;;) {
        show_menu();
        int choice = 0;
        if (read(choice) == input::end) return 1;  // a bad choice stays 0: "Unknown command"
        try {
            if (!run_choice(choice, tickets)) return 1;
        } catch (const std::exception& e) {
            out << "patchbay: " << tarn::fb::describe_failure(e) << std::endl;
        }
    }
}
