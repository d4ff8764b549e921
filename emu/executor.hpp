// SPDX-License-Identifier: MIT
#pragma once
// The request executor: what the device does on ioctl(fd, request).
namespace fbemu {

// Executes the request in `window` (this process's 1 MiB mapping of the
// device) and places the reply. `request` 1 runs an int-coded command, 0 the
// string-named one. Returns 0 when a reply was placed (also a failure
// reply); -1 with errno set when the ioctl itself fails: EIO for an injected
// fault, ENOTTY for another request number, EFAULT for a window that 32-bit
// addresses cannot reach.
int execute(unsigned char* window, unsigned long request);

}  // namespace fbemu
