#!/bin/sh
# Builds the migration benchmark in release mode and runs it: the adapter's
# migration of 10,000 files of 4 KB next to the shell moving the same files.
# Targets: within one filesystem at most `mv`'s time; across devices (to
# /dev/shm, or IM_BENCH_SECOND_VOLUME) at most 1.2 times `cp -p` + `rm`; at
# most 100 progress notifications per run.
#   bench/migration/run.sh [source-folder] [build-folder]
set -eu
SRC=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
BUILD=${2:-$SRC/build-migration-bench}
cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target migration_bench
"$BUILD/bench/migration/migration_bench" --benchmark_counters_tabular=true
