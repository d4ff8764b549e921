# SPDX-License-Identifier: MIT
# The command line: help, version, bad options, and the exit statuses of
# --check and --dry-run.
docs="$(dirname "$CASE")/../documents"
run run -- fbrestore --help
run run -- fbrestore -V
run run -- fbrestore --force
run run -- fbrestore a.json b.json
run run -- fbrestore -n "$docs/edit.json"
run run -- fbrestore --check -q "$docs/edit.json"
run --fault status@3 run -- fbrestore "$docs/edit.json"
run run -- fbrestore --check "$docs/edit.json"
