#!/usr/bin/env bash
# Builds everything and runs every test once (unit, end-to-end, dialogs in a
# real window when a display server can be started). A failed test is a
# failure: no test is run again, except the one that depends on a display
# server's timing, which says so by its label "display_retry" (the real-window
# dialog test) and runs on its own after the others, up to twice.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dialogs
cmake --preset release >/dev/null
cmake --build --preset release
status=0
ctest --preset release -j2 --timeout 600 -LE display_retry "$@" || status=$?
ctest --preset release --timeout 600 -L display_retry --repeat until-pass:2 "$@" || status=$?
exit "$status"
