# SPDX-License-Identifier: MIT
# Without /dev/functionblocks and without the emulator (an armhf build runs
# under qemu-arm): status 1 and the reason.
[ -e /dev/functionblocks ] && { echo "this machine has a device node"; exit 0; }
prog=$(command -v fbdump)
if [ "$(od -An -tx1 -j18 -N1 "$prog" | tr -d ' ')" = 28 ]; then
    capture qemu-arm-static -L /usr/arm-linux-gnueabihf -0 fbdump "$prog"
else
    capture fbdump
fi
