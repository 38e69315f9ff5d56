#!/bin/sh
# Builds the migration benchmark in release mode and runs it: the adapter's
# migration of 10,000 files of 4 KB next to `mv` moving the same files.
# Targets: the migration at most 1.3 times mv's time, at most 100 progress
# notifications per run.
#   bench/migration/run.sh [source-folder] [build-folder]
set -eu
SRC=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
BUILD=${2:-$SRC/build-migration-bench}
cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target migration_bench
"$BUILD/bench/migration/migration_bench" --benchmark_counters_tabular=true
