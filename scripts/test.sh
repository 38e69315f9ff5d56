#!/usr/bin/env bash
# Builds everything and runs every test (unit, end-to-end, dialogs in a real
# window when a display server can be started).
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dialogs
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2 --timeout 600 "$@"
