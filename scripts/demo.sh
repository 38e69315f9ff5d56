#!/usr/bin/env bash
# Builds the adapter, the stand-in plugins and the reference host, then runs
# the host's demo: a seeded message store and received-files folder, and
# commands 1 to 4 against them.
#   scripts/demo.sh [--json]
# The demo folder is build/demo: its store (im_store.db, with the outbox of
# sent messages), the local cloud folder, the log and demo_summary.json stay
# there for a look afterwards. Works from a fresh Debian 12 machine as root:
# what is missing is installed first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target im_adapter_host
status=0
build/release/host/src/im_adapter_host demo --dir build/demo "$@" || status=$?
echo "demo folder: build/demo (store build/demo/im_store.db, summary build/demo/demo_summary.json)"
exit "$status"
