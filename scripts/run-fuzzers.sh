#!/bin/sh
# Builds the message content fuzz targets with clang++-14, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a number of seconds.
#
#   scripts/run-fuzzers.sh [build-folder] [seconds-per-target]
#
# Defaults: build-fuzz (under the repository root when relative) and 60 s.
# New inputs go to <build-folder>/fuzz-corpus/<target>; the seed corpora in
# fuzz/content/corpus stay untouched. Exits non-zero when a target finds a
# crash, a leak or undefined behaviour (its input is kept in
# <build-folder>/fuzz-artifacts/).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DCMAKE_SHARED_LINKER_FLAGS="$sanitizers" \
  -DIM_ADAPTER_BUILD_FUZZ=ON -DIM_ADAPTER_BUILD_TESTS=OFF -DIM_ADAPTER_BUILD_BENCH=OFF

targets="body token card"
for t in $targets; do
  cmake --build "$build" --target "fuzz_content_$t" -j2
done

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
status=0
for t in $targets; do
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t/"
  mkdir -p "$corpus" "$artifacts"
  echo "== fuzz_content_$t for ${seconds}s"
  if ! "$build/fuzz/content/fuzz_content_$t" -max_total_time="$seconds" -max_len=65536 \
      -rss_limit_mb=4096 -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$corpus" "$root/fuzz/content/corpus/$t"; then
    echo "fuzz_content_$t FAILED (inputs in $artifacts)"
    status=1
  fi
done
exit $status
