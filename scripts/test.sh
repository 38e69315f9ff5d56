#!/usr/bin/env bash
# Builds everything and runs every test once (unit, end-to-end, dialogs in a
# real window when a display server can be started). A failed test is a
# failure: no test is run again. The real-window dialog test (label "display")
# runs on its own after the others, so that no other test loads the machine
# while its window is up.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dialogs
cmake --preset release >/dev/null
cmake --build --preset release
status=0
ctest --preset release -j2 --timeout 600 -LE display "$@" || status=$?
ctest --preset release --timeout 600 -L display "$@" || status=$?
exit "$status"
