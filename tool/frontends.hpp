// SPDX-License-Identifier: MIT
#pragma once
#include <string>

// Prints one of the device's lists ("fac", "fb", "prop", "out", "in") as a table.
int fb_list(std::string action, std::string name, int argc);

// The interactive test session on standard input; returns 1 when the user leaves.
int test_mode();

// Writes the help text.
int print_help();
