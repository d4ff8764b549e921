// SPDX-License-Identifier: MIT
/* The shim's way into the emulator: runs the executor and keeps every C++
 * exception inside. */
#ifndef FBEMU_SHIM_BRIDGE_H
#define FBEMU_SHIM_BRIDGE_H
#ifdef __cplusplus
extern "C" {
#endif

int fbemu_shim_execute(unsigned char* window, unsigned long request);

#ifdef __cplusplus
}
#endif
#endif
