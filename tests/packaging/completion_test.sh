#!/bin/bash
# SPDX-License-Identifier: MIT
# Drives the bash completion of patchbay as bash does (COMP_WORDS,
# COMP_CWORD, the function registered with `complete`), against the emulated
# device and without any device.
#   completion_test.sh COMPLETION FBEMU PATCHBAY NETWORK WORKDIR
set -u
COMPLETION=$1 FBEMU=$2 PATCHBAY=$3 NETWORK=$4 WORK=$5
rm -rf "$WORK" && mkdir -p "$WORK/emulated" "$WORK/nodevice" "$WORK/empty"
STATE=$WORK/state.json

# patchbay on PATH: the real one run under the emulator, or run without a
# device (an armhf build under qemu-arm).
cat >"$WORK/emulated/patchbay" <<SH
#!/bin/sh
exec "$FBEMU" --state "$STATE" --catalog "$NETWORK" run -- "$PATCHBAY" "\$@"
SH
if [ "$(od -An -tx1 -j18 -N1 "$PATCHBAY" | tr -d ' ')" = 28 ]; then
    direct="qemu-arm-static -L /usr/arm-linux-gnueabihf \"$PATCHBAY\""
else
    direct="\"$PATCHBAY\""
fi
printf '#!/bin/sh\nexec %s "$@"\n' "$direct" >"$WORK/nodevice/patchbay"
chmod +x "$WORK/emulated/patchbay" "$WORK/nodevice/patchbay"

# shellcheck source=/dev/null
. "$COMPLETION"
failures=0

# complete LINE: what the completion offers at the end of LINE (a line ending
# in a blank completes a new, empty word), sorted, on one line.
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line COMP_POINT=${#line}
    COMPREPLY=()
    _patchbay patchbay "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -s -d ' ' -
}

# expect LINE OFFERED: the completion of LINE must offer exactly OFFERED,
# and write nothing itself.
expect() {
    local got
    got=$(complete_line "$1" 2>"$WORK/stderr")
    if [[ $got != "$2" ]]; then
        echo "FAIL '$1': expected '$2', got '$got'"
        failures=$((failures + 1))
    elif [[ -s $WORK/stderr ]]; then
        echo "FAIL '$1': wrote to standard error:"
        cat "$WORK/stderr"
        failures=$((failures + 1))
    fi
}

registered=$(complete -p patchbay)
[[ $registered == 'complete -F _patchbay patchbay' ]] ||
    { echo "FAIL registration: $registered"; failures=$((failures + 1)); }

# Words that need no device.
PATH=$WORK/empty:/usr/bin:/bin
expect 'patchbay ' '-c -h -l'
expect 'patchbay -' '-c -h -l'
expect 'patchbay -l ' 'fac fb out prop'
expect 'patchbay -l f' 'fac fb'
expect 'patchbay -c ' 'test'
expect 'patchbay -h ' ''
expect 'patchbay -x ' ''
expect 'patchbay -l fac ' ''
expect 'patchbay -c test ' ''

# Names taken from the emulated device, wide ones included.
PATH=$WORK/emulated:/usr/bin:/bin
expect 'patchbay -l fb ' 'a_factory_name_longer_than_its_cell gain saw_osc sine_osc'
expect 'patchbay -l fb s' 'saw_osc sine_osc'
expect 'patchbay -l prop ' 'a_block_name_that_overflows_the_cell master osc1 osc2'
expect 'patchbay -l out osc' 'osc1 osc2'
expect 'patchbay -l out z' ''
expect 'patchbay -c test ' ''
expect 'patchbay -l prop osc1 ' ''
# A block created on the device is offered at the next completion.
printf '6\nsine_osc\nosc3\n11\n' | patchbay -c test >/dev/null
expect 'patchbay -l prop osc' 'osc1 osc2 osc3'

# No device, or no patchbay at all: nothing offered, nothing written.
if [[ ! -e /dev/functionblocks ]]; then
    PATH=$WORK/nodevice:/usr/bin:/bin
    expect 'patchbay -l fb ' ''
    expect 'patchbay -l out ' ''
fi
PATH=$WORK/empty:/usr/bin:/bin
if ! command -v patchbay >/dev/null; then
    expect 'patchbay -l prop ' ''
fi

echo "$failures failed"
[[ $failures -eq 0 ]]
