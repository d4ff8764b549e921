# SPDX-License-Identifier: MIT
# A block created in one run is listed by the next; a new session does not
# know the earlier session's tickets.
pb -c test <<'IN'
6
sine_osc
lfo
11
IN
pb -l fb sine_osc
pb -c test <<'IN'
7
lfo
11
IN
pb -l fb sine_osc
