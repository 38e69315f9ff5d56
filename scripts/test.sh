#!/usr/bin/env bash
# Builds everything and runs every test (unit, end-to-end, dialogs in a real
# window when a display server can be started). A test that fails is run once
# more before the run counts it as failed (the real-window dialog test depends
# on a display server's timing); ctest's output shows every failed try.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dialogs
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2 --timeout 600 --repeat until-pass:2 "$@"
