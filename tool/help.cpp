// SPDX-License-Identifier: MIT
#include <iostream>

#include "frontends.hpp"

namespace {
constexpr const char* help_text[] = {
    "NAME",
    "\t\tpatchbay - a tool to create and configure functionblocks\n",
    "SYNOPSIS",
    "\t\tpatchbay <options> <action [args]>\n",
    "DESCRIPTION",
    "\t\tThis ist the help documentation for the command line tool patchbay\n",
    "OPTIONS",
    "\t\t-c",
    "\t\t\tuse this option to execute a command (e.g. starting a test session\n",
    "\t\t-h",
    "\t\t\tshows this help\n",
    "\t\t-l",
    "\t\t\tlist informations about factories and functionblocks\n",
    "ACTION",
    "\t\tfac",
    "\t\t\tlist all existing factories (only usable in conjunction with -l)",
    "\t\t\tusage: patchbay -l fac\n",
    "\t\tfb",
    "\t\t\tlist all existing functionblocks of a factory (only usable in conjunction with -l)",
    "\t\t\tusage: patchbay -l fb facxxx\n",
    "\t\tprop",
    "\t\t\tlist all properties of a functionblock (only useable in conjunction with -l)",
    "\t\t\tusage: patchbay -l prop fb_xxx\n",
    "\t\tout",
    "\t\t\tlist all outports of a functionblock (only usable in conjunction with -l)",
    "\t\t\tusage: patchbay -l out fb_xxx\n",
    "\t\ttest",
    "\t\t\tstarting a test session (this is necessary if you want to create and connect functionblocks",
    "\t\t\t(only usable in conjunction with -c)",
    "\t\t\tusage: patchbay -c test\n",
};
}  // namespace

int print_help() {
    for (const char* line : help_text) std::cout << line << std::endl;
    return 0;
}
