# SPDX-License-Identifier: MIT
# Every injected device fault during every listing of the command line, but
# for those faults_listing.sh shows: one line on standard error, status 1, and
# only what was read before the fault of the table.
covered=" ioctl:fac status:fb status-bare:prop status-code:out truncate:fac truncate:prop corrupt:out cursor:fac cursor:prop "
for fault in ioctl status status-bare status-code truncate corrupt cursor; do
    for listing in "fac" "fb sine_osc" "prop osc2" "out osc2"; do
        case $covered in *" $fault:${listing%% *} "*) continue ;; esac
        echo "== $fault during -l $listing"
        pbf "$fault" -l $listing
    done
done
