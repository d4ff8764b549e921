# SPDX-License-Identifier: MIT
# Device failures during a listing: one line on standard error, status 1,
# and nothing of the table when the command itself failed.
pbf ioctl -l fac
pbf status -l fb sine_osc
pbf status-bare -l prop osc1
pbf status-code -l out osc2
pbf truncate -l fac
pbf truncate -l prop osc2
pbf corrupt -l out osc2
pbf cursor -l fac
pbf cursor -l prop lowpass
