#!/usr/bin/env bash
# Builds the library and runs the reference host's demo on the stand-in plugins.
#   scripts/demo.sh [--json]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target im_adapter_host
rm -rf build/demo
exec build/release/host/src/im_adapter_host demo --dir build/demo "$@"
