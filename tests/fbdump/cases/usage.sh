# SPDX-License-Identifier: MIT
# The command line: help, version, and usage errors (status 2, the reason on
# standard error, nothing on standard output).
run run -- fbdump --help
run run -- fbdump -V
run run -- fbdump --frobnicate
run run -- fbdump --dot --factory
run run -- fbdump mixer
