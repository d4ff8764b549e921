// SPDX-License-Identifier: MIT
/* The preload shim: the emulator as the device behind the interposer. Each
 * ioctl on /dev/functionblocks runs the emulator's executor on the device's
 * window. */
#include "interposer.h"
#include "shim_bridge.h"

__attribute__((constructor)) static void install_emulator(void) {
    interposer_install((struct device_handler){.ioctl = fbemu_shim_execute});
}
