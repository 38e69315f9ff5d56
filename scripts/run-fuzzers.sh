#!/bin/sh
# Builds every fuzz target with the "fuzz" preset (clang++-14, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a number of seconds.
#
#   scripts/run-fuzzers.sh [build-folder] [seconds-per-target]
#
# Defaults: build/fuzz (the preset's folder; relative to the repository root) and 60 s.
# The targets are found by their sources: fuzz/<folder>/fuzz_<name>.cc builds
# fuzz_<folder>_<name>, seeded from fuzz/<folder>/corpus/<name> and, when
# there is one, with the dictionary fuzz/<folder>/<name>.dict.
# New inputs go to <build-folder>/fuzz-corpus/<target>; the seed corpora stay
# untouched. Exits non-zero when a target finds a crash, a leak, undefined
# behaviour or a hang (its input is kept in <build-folder>/fuzz-artifacts/).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/fuzz}
seconds=${2:-60}
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac

# The "fuzz" preset holds the compiler and sanitizer settings; -B puts the
# build where the caller asked.
(cd "$root" && cmake --preset fuzz -B "$build" >/dev/null)

targets=""
for source in "$root"/fuzz/*/fuzz_*.cc; do
  folder=$(basename "$(dirname "$source")")
  name=$(basename "$source" .cc)
  targets="$targets $folder/${name#fuzz_}"
done
[ -n "$targets" ] || { echo "no fuzz targets under $root/fuzz"; exit 1; }

for t in $targets; do
  cmake --build "$build" --target "fuzz_${t%%/*}_${t#*/}" -j2
done

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Two frames of allocation stack: the sanitizer keeps every distinct stack it
# records, and stacks walked through the C++ library (built without frame
# pointers) pick up stale frames that differ on every run, so a long run grew
# by about 1 MB/s. A fault's own stack is whole; replaying a kept input
# (<target> <input>) shows the allocation stacks in full.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:malloc_context_size=2"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
status=0
for t in $targets; do
  folder=${t%%/*}
  name=${t#*/}
  target="fuzz_${folder}_$name"
  corpus="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  set -- -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 -timeout=30 \
    -print_final_stats=1 -artifact_prefix="$artifacts"
  if [ -f "$root/fuzz/$folder/$name.dict" ]; then
    set -- "$@" -dict="$root/fuzz/$folder/$name.dict"
  fi
  echo "== $target for ${seconds}s"
  if ! "$build/fuzz/$folder/$target" "$@" "$corpus" "$root/fuzz/$folder/corpus/$name"; then
    echo "$target FAILED (inputs in $artifacts)"
    status=1
  fi
done
exit $status
