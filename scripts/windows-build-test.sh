#!/usr/bin/env bash
# Builds the Windows targets and tests what this machine can run.
#
#   scripts/windows-build-test.sh
#
# - i686 (the shipped 32-bit DLL): configured, built (library, plugins, host and
#   tests) and checked; these machines cannot run 32-bit programs.
# - x86_64 (the same sources): built, checked, and its tests run under wine64
#   with ctest.
# Checks of both builds, with <triplet>-objdump -p: im_adapter.dll exports exactly
# the seven functions of include/im_adapter/im_adapter.h under plain names, each
# plugin DLL exactly its entry points, and no built DLL or program imports a MinGW
# runtime DLL (libgcc, libstdc++, winpthread) or a third-party DLL.
#
# Environment: IM_WIN_BUILD_ROOT (default build/windows), IM_WIN_JOBS (default 2),
# IM_WIN_CACHE (see scripts/windows-deps.sh). Exit status 0 only when every build,
# check and test passed. ctest's summary line is printed for the CI totals.
set -euo pipefail

SCRIPT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO_ROOT=$(cd "$SCRIPT_DIR/.." && pwd)
BUILD_ROOT="${IM_WIN_BUILD_ROOT:-$REPO_ROOT/build/windows}"
JOBS="${IM_WIN_JOBS:-2}"
readonly TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)
readonly TEST_TRIPLET=x86_64-w64-mingw32

log() { echo "[windows] $*" >&2; }
fail() {
  echo "[windows] FAILED: $*" >&2
  failures=$((failures + 1))
}
failures=0
start=$SECONDS

# ---- dependencies -----------------------------------------------------------------------------

mapfile -t PREFIXES < <("$SCRIPT_DIR/windows-deps.sh" "${TRIPLETS[@]}")
[[ ${#PREFIXES[@]} -eq ${#TRIPLETS[@]} ]] || { log "dependency step gave no prefixes"; exit 1; }
log "dependencies ready ($((SECONDS - start)) s)"

# ---- configure and build ----------------------------------------------------------------------

build_dir() { echo "$BUILD_ROOT/${1%%-*}"; }

configure_and_build() {
  local t=$1 prefix=$2 dir
  dir=$(build_dir "$t")
  log "$t: configure and build in $dir"
  cmake -S "$REPO_ROOT" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$REPO_ROOT/cmake/toolchains/$t.cmake" \
    -DIM_WIN_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DIM_ADAPTER_BUILD_TESTS=ON -DIM_ADAPTER_BUILD_BENCH=OFF -DIM_ADAPTER_BUILD_FUZZ=OFF \
    >"$BUILD_ROOT/$t-configure.log" 2>&1 || {
    tail -n 30 "$BUILD_ROOT/$t-configure.log" >&2
    return 1
  }
  # -k 0: one module that does not build yet leaves every other target built.
  cmake --build "$dir" -j "$JOBS" -- -k 0 >"$BUILD_ROOT/$t-build.log" 2>&1 || {
    grep -E -B2 -A8 "error|Error|FAILED" "$BUILD_ROOT/$t-build.log" | head -n 80 >&2
    return 1
  }
}

# ---- binary checks ----------------------------------------------------------------------------

# Names in the export table of a DLL.
exports_of() {
  "$1-objdump" -p "$2" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && /^[[:space:]]*\[[[:space:]]*[0-9]+\]/ { print $NF; next }
    inside && NF == 0 { inside = 0 }'
}

# MinGW runtime DLLs and the third-party libraries, all of which are linked statically.
readonly FORBIDDEN_IMPORTS='^(libgcc_s_.*|libstdc\+\+.*|libwinpthread.*|libssp.*|libcrypto.*|libssl.*|libz.*|zlib.*|.*jsoncpp.*|.*pugixml.*|.*sqlite3.*|.*gtest.*|.*gmock.*)\.dll$'

imports_of() { "$1-objdump" -p "$2" | awk '/DLL Name:/ { print $3 }'; }

# The functions a header marks with the given export macro.
declared_functions() {
  grep -E "^$2 " "$1" | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)\(.*/\1/' | sort
}

check_exports() {
  local t=$1 dll=$2 expected=$3 actual
  if [[ ! -f $dll ]]; then
    fail "$t: $dll was not built"
    return
  fi
  actual=$(exports_of "$t" "$dll" | sort)
  if [[ "$actual" == "$expected" ]]; then
    log "$t: $(basename "$dll") exports exactly: $(echo $actual)"
  else
    fail "$t: $(basename "$dll") exports differ:"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
  fi
}

check_imports() {
  local t=$1 dir=$2 file bad count=0
  while IFS= read -r -d '' file; do
    count=$((count + 1))
    bad=$(imports_of "$t" "$file" | grep -Ei "$FORBIDDEN_IMPORTS" || true)
    [[ -z $bad ]] || fail "$t: ${file#"$dir"/} imports $(echo $bad)"
  done < <(find "$dir" -type f \( -name '*.dll' -o -name '*.exe' \) -not -path '*/CMakeFiles/*' -print0)
  log "$t: import check of $count DLLs and programs done"
}

check_binaries() {
  local t=$1 dir
  dir=$(build_dir "$t")
  local header=$REPO_ROOT/include/im_adapter/im_adapter.h plugin_header=$REPO_ROOT/include/im_adapter/im_plugin.h
  check_exports "$t" "$dir/adapter/im_adapter.dll" "$(declared_functions "$header" IM_ADAPTER_EXPORT)"
  local plugin names
  for plugin in zeb_im_json:'IMServiceStartup|IMServiceShutDown|IMRecvMsgImport|ImSetAdapterCallback' \
    im_sqlite_plugin:'Sqlite[A-Za-z]*' zeb_httpofflinefile:'OffLine[A-Za-z]*'; do
    names=$(declared_functions "$plugin_header" IM_PLUGIN_API | grep -E "^(${plugin#*:})$")
    check_exports "$t" "$dir/plugins/${plugin%%:*}.dll" "$names"
  done
  check_imports "$t" "$dir"
}

# ---- tests under Wine -------------------------------------------------------------------------

WINE_PREFIX_DIR=""
WINE_OTHER_DEVICE_DIR=""
cleanup_wine() {
  if [[ -n $WINE_PREFIX_DIR ]]; then
    WINEPREFIX="$WINE_PREFIX_DIR/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$WINE_PREFIX_DIR"
  fi
  [[ -z $WINE_OTHER_DEVICE_DIR ]] || rm -rf "$WINE_OTHER_DEVICE_DIR"
}
trap cleanup_wine EXIT

# ---- Wine drives for the file tests ------------------------------------------------------------

# The platform and migration tests move files between volumes and tell volumes
# apart. Three drive letters serve them: P: and Q: on one host folder (one
# volume under two letters), R: on a host folder of another device (/dev/shm),
# so that a move from the prefix's C: to R: is a real copy across volumes.
# The tests read IM_TEST_WINE_DRIVES and IM_TEST_SECOND_VOLUME.
map_test_drives() {
  local shared="$WINE_PREFIX_DIR/drive-pq" devices="$WINEPREFIX/dosdevices"
  mkdir -p "$shared"
  ln -sfn "$shared" "$devices/p:"
  ln -sfn "$shared" "$devices/q:"
  WINE_OTHER_DEVICE_DIR=$(mktemp -d /dev/shm/im_adapter-wine-r.XXXXXX 2>/dev/null) || WINE_OTHER_DEVICE_DIR=""
  if [[ -n $WINE_OTHER_DEVICE_DIR && $(stat -c %d "$WINE_OTHER_DEVICE_DIR") != $(stat -c %d "$shared") ]]; then
    ln -sfn "$WINE_OTHER_DEVICE_DIR" "$devices/r:"
    export IM_TEST_WINE_DRIVES=PQR IM_TEST_SECOND_VOLUME='R:\'
    log "drives P: and Q: on $shared, R: on $WINE_OTHER_DEVICE_DIR (another device)"
  else
    log "no second device for drive R:: the tests across volumes are skipped"
  fi
}

run_tests_under_wine() {
  local dir
  dir=$(build_dir "$TEST_TRIPLET")
  # A fresh prefix outside the repository for every run; console programs need
  # no display.
  WINE_PREFIX_DIR=$(mktemp -d "${TMPDIR:-/tmp}/im_adapter-wine.XXXXXX")
  export WINEPREFIX="$WINE_PREFIX_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  log "creating the Wine prefix"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
  map_test_drives
  log "running the $TEST_TRIPLET tests under wine64"
  local rc=0
  local known exclude
  known=$(grep -vE '^\s*(#|$)' "$SCRIPT_DIR/windows-known-failures.txt" 2>/dev/null | awk '{print $1}' || true)
  exclude=$(echo "$known" | awk 'NF {printf "%s^%s$", (n++ ? "|" : ""), $1}')
  if [ -n "$exclude" ]; then
    log "NOT RUN, known to fail under Wine (scripts/windows-known-failures.txt):" $known
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 900 -LE dialogs -E "$exclude" || rc=$?
  else
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 900 -LE dialogs || rc=$?
  fi
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  return "$rc"
}

# ---- ZIP of the shipped 32-bit build ----------------------------------------------------------

readonly ZIP_TRIPLET=i686-w64-mingw32

# Packs the i686 build (CPack, components runtime and development) into
# im_adapter-<version>-win32.zip and checks it: the listing, no stand-in
# plugin, im_adapter.dll stripped with its symbols beside it and its version
# resource, the import library, header, README and licence, and exactly the
# seven exports of the DLL in the ZIP.
package_zip() {
  local t=$ZIP_TRIPLET dir version zip root file
  dir=$(build_dir "$t")
  version=$(sed -nE 's/^project\(im_adapter VERSION ([0-9.]+).*/\1/p' "$REPO_ROOT/CMakeLists.txt")
  zip=$dir/im_adapter-$version-win32.zip
  rm -f "$zip"
  (cd "$dir" && cpack -G ZIP >"$BUILD_ROOT/$t-cpack.log" 2>&1) || {
    tail -n 20 "$BUILD_ROOT/$t-cpack.log" >&2
    fail "$t: cpack -G ZIP"
    return
  }
  log "$t: $(basename "$zip") holds:"
  (cd "$dir" && cmake -E tar tf "$zip") | sed 's/^/    /' >&2
  root=$(mktemp -d)/im_adapter-$version-win32
  (cd "$(dirname "$root")" && cmake -E tar xf "$zip")
  for file in bin/im_adapter.dll bin/im_adapter.dll.debug lib/libim_adapter.dll.a \
    include/im_adapter/im_adapter.h include/im_adapter/version.h README.md LICENSE; do
    [[ -f $root/$file ]] || fail "$t: the ZIP has no $file"
  done
  # (No grep -q after a pipe: under pipefail, the writer's SIGPIPE would count as a failure.)
  if grep -Eiq '(zeb_im_json|im_sqlite_plugin|zeb_httpofflinefile|im_standin_host)\.dll$' \
    <<<"$(find "$root" -iname '*.dll')"; then
    fail "$t: the ZIP holds a stand-in plugin"
  fi
  local dll=$root/bin/im_adapter.dll sections
  sections=$("$t-objdump" -h "$dll")
  if grep -q '\.debug_' <<<"$sections" || ! grep -q '\.gnu_debuglink' <<<"$sections"; then
    fail "$t: im_adapter.dll in the ZIP is not stripped with a debug link"
  fi
  grep -q IMAdapterStartup <<<"$("$t-nm" "$root/bin/im_adapter.dll.debug")" ||
    fail "$t: im_adapter.dll.debug holds no symbols"
  grep -qx "$version" <<<"$(strings -e l "$dll")" || fail "$t: no version resource $version in im_adapter.dll"
  log "$t: im_adapter.dll $(stat -c %s "$dll") bytes, symbols $(stat -c %s "$dll.debug") bytes"
  check_exports "$t" "$dll" "$(declared_functions "$REPO_ROOT/include/im_adapter/im_adapter.h" IM_ADAPTER_EXPORT)"
  rm -rf "$(dirname "$root")"
}

# ---- unload and exit under Wine ---------------------------------------------------------------

# unload_driver_win (tests/lifecycle) loads im_adapter.dll with the scripted plugins
# (a store that never answers), leaves a command waiting for it, then calls FreeLibrary
# without shutting down (which must return within 2 s), or returns from main at once.
# Either way the process must end by itself with status 0.
run_unload_tests_under_wine() {
  local dir exe rc=0 mode
  dir=$(build_dir "$TEST_TRIPLET")
  exe="$dir/tests/lifecycle/unload_driver_win.exe"
  [[ -f $exe ]] || { log "unload_driver_win.exe was not built"; return 1; }
  [[ -n $WINE_PREFIX_DIR ]] || {
    WINE_PREFIX_DIR=$(mktemp -d "${TMPDIR:-/tmp}/im_adapter-wine.XXXXXX")
    export WINEPREFIX="$WINE_PREFIX_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  }
  for mode in freelibrary exit; do
    local t0=$SECONDS status=0
    WINEPATH="Z:$dir/tests/support/scripted;Z:$dir/adapter" \
      timeout 60 /usr/lib/wine/wine64 "$exe" "$mode" || status=$?
    log "unload test '$mode': status $status in $((SECONDS - t0)) s"
    [[ $status -eq 0 ]] || rc=1
  done
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  return "$rc"
}

# ---- main -------------------------------------------------------------------------------------

mkdir -p "$BUILD_ROOT"
for i in "${!TRIPLETS[@]}"; do
  t=${TRIPLETS[$i]}
  t0=$SECONDS
  if configure_and_build "$t" "${PREFIXES[$i]}"; then
    log "$t: built in $((SECONDS - t0)) s"
  else
    fail "$t: build failed after $((SECONDS - t0)) s (logs in $BUILD_ROOT)"
  fi
  # What did build is checked either way.
  [[ -f "$(build_dir "$t")/build.ninja" ]] && check_binaries "$t"
done

if [[ -f "$(build_dir "$ZIP_TRIPLET")/build.ninja" ]]; then
  package_zip
fi

if [[ -f "$(build_dir "$TEST_TRIPLET")/build.ninja" ]]; then
  t0=$SECONDS
  run_tests_under_wine || fail "$TEST_TRIPLET: tests under wine64"
  log "tests took $((SECONDS - t0)) s"
  run_unload_tests_under_wine || fail "$TEST_TRIPLET: unload and exit under wine64"
fi

log "finished in $((SECONDS - start)) s with $failures failure(s)"
[[ $failures -eq 0 ]]
