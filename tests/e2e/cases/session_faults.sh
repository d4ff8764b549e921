# SPDX-License-Identifier: MIT
# Device failures inside the session: the error line, then the menu again.
# The first device command of each run is its first ioctl.
pbf status -c test <<'IN'
6
gain
g
11
IN
pbf ioctl -c test <<'IN'
1
3
osc1
11
IN
pbf truncate -c test <<'IN'
4
osc2
11
IN
pbf status-code -c test <<'IN'
8
osc1
frequency
float
1
11
IN
