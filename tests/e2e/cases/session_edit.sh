# SPDX-License-Identifier: MIT
# A whole editing session: create, list, connect, list ports, write a
# property, disconnect, delete, and the lists after each step.
pb -c test <<'IN'
6
gain
trim
2
gain
9
volume
trim
out
in
4
volume
5
trim
8
trim
level
float
0.25
3
trim
10
volume
trim
out
in
5
trim
7
trim
2
gain
11
IN
