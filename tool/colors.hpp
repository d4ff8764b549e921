// SPDX-License-Identifier: MIT
#pragma once
// Escape sequences written around highlighted names in the listings.
extern const char* const color_green;
extern const char* const color_reset;
