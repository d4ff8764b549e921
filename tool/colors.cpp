// SPDX-License-Identifier: MIT
#include "colors.hpp"

const char* const color_green = "\033[1;32m";
const char* const color_reset = "\033[0m";
