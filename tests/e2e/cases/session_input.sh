# SPDX-License-Identifier: MIT
# Menu numbers out of range, words that are not numbers, two answers on one
# line, blank lines, and input that ends in the middle of a choice.
pb -c test <<'IN'
0
12
-3
abc def
99999999999


1 2
sine_osc
11
IN
printf '6\ngain\n' | pb -c test
printf '3 osc1' | pb -c test
printf '8\nosc1\nfrequency\nfloat\n' | pb -c test
pb -c test </dev/null
