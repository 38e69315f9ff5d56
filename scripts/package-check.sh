#!/usr/bin/env bash
# Checks what a Linux build installs and packages, as a user of the library
# meets it (no LD_LIBRARY_PATH anywhere):
#   1. everything installed into a fresh prefix: the layout (no stand-in plugin
#      beside the library), the SONAME, links and RUNPATH of the library,
#      `im_adapter_host --version` and `im_adapter_host demo` to the end, and
#      the README's C host example with the demo's stand-in plugins;
#   2. runtime and development only into another fresh prefix, with a copy of
#      plugins beside the library as a deployment has them: the README's C host
#      example, and a tiny consumer project built through find_package and
#      through pkg-config;
#   3. the Debian packages of runtime and development from CPack: their
#      contents listed, no stand-in plugin in them, lintian.
#
#   scripts/package-check.sh [build folder]   (default build/release, built)
#
# Exit status 0 only when every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly REPO=$PWD
build=$(cd "${1:-build/release}" && pwd)
unset LD_LIBRARY_PATH
version=$(sed -nE 's/^project\(im_adapter VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
readonly STANDINS='lib(zeb_im_json|im_sqlite_plugin|zeb_httpofflinefile|im_standin_host)\.so'

work=$(mktemp -d /tmp/im_adapter-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
log() { echo "[package] $*"; }
pass() { log "ok: $*"; }
fail() {
  log "FAILED: $*" >&2
  failures=$((failures + 1))
}
# check DESCRIPTION COMMAND...: runs the command, counts a failure when it fails.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
contains() { grep -Eq -- "$2" <<<"$1"; }
# The files under a prefix, one relative path a line ("path -> target" for links).
tree_of() { (cd "$1" && { find . -type f -printf '%P\n'; find . -type l -printf '%P -> %l\n'; } | sort); }

# The lines of the Nth fenced block of kind KIND (c, sh) in README.md after the
# heading HEADING.
readme_block() {
  awk -v heading="$1" -v kind="$2" -v n="$3" '
    $0 == heading { inside_section = 1; next }
    inside_section && /^## / { exit }
    inside_section && $0 == "```" kind { count++; if (count == n) { on = 1; next } }
    on && $0 == "```" { exit }
    on { print }' README.md
}

# Compiles and runs the README's C host example with the Nth build command of
# its section, for the installed tree $1; expects the reply of command 3.
readme_example() {
  local prefix=$1 n=$2 dir
  dir=$(mktemp -d "$work/example.XXXXXX")
  readme_block "## A host in C" c 1 >"$dir/host.c"
  readme_block "## A host in C" sh "$n" >"$dir/build.sh"
  [[ -s $dir/host.c && -s $dir/build.sh ]] || { log "README: example or command $n not found"; return 1; }
  local out
  out=$(cd "$dir" && P=$prefix bash -e build.sh 2>&1) || { echo "$out" >&2; return 1; }
  echo "$out" | sed 's/^/    /'
  contains "$out" '"rsp"[[:space:]]*:' && contains "$out" '"sno"[[:space:]]*:[[:space:]]*1'
}

# ---- 1. everything, into a fresh prefix ---------------------------------------------------------
P=$work/all
cmake --install "$build" --prefix "$P" >/dev/null
log "installed tree (all components):"
tree_of "$P" | sed 's/^/    /'
lib=$P/lib/libim_adapter.so.$version
check "no stand-in plugin beside the library" \
  bash -c "! ls '$P/lib' | grep -Eq '^$STANDINS\$'"
check "stand-in plugins in lib/im_adapter-demo" \
  test -f "$P/lib/im_adapter-demo/libzeb_im_json.so" -a -f "$P/lib/im_adapter-demo/libim_standin_host.so"
check "libim_adapter.so -> libim_adapter.so.1 -> libim_adapter.so.$version" \
  test "$(readlink "$P/lib/libim_adapter.so")" = libim_adapter.so.1 -a \
  "$(readlink "$P/lib/libim_adapter.so.1")" = "libim_adapter.so.$version" -a -f "$lib"
dynamic=$(readelf -d "$lib")
check "SONAME libim_adapter.so.1" contains "$dynamic" 'SONAME.*\[libim_adapter\.so\.1\]'
check "RUNPATH \$ORIGIN" contains "$dynamic" 'RUNPATH.*\[\$ORIGIN\]'
check "im_adapter_host --version prints $version" \
  test "$("$P/bin/im_adapter_host" --version)" = "im_adapter_host $version"
log "im_adapter_host demo from the installed tree:"
if "$P/bin/im_adapter_host" demo --dir "$work/demo" >"$work/demo.out" 2>&1; then
  tail -n 8 "$work/demo.out" | sed 's/^/    /'
  pass "im_adapter_host demo ran to the end"
  first=$(find "$work/demo/log" -name im_adapter.log | head -n 1)
  check "the log's first line names im_adapter $version" \
    contains "$(sed -n 2p "$first")" "AdapterLogOpen\]im_adapter $version"
else
  tail -n 30 "$work/demo.out" >&2
  fail "im_adapter_host demo from the installed tree"
fi
check "README C host example with the demo's stand-in plugins" readme_example "$P" 2

# ---- 2. runtime and development only, plugins beside the library --------------------------------
Q=$work/deploy
for component in runtime development; do
  cmake --install "$build" --prefix "$Q" --component "$component" >/dev/null
done
log "installed tree (runtime and development):"
tree_of "$Q" | sed 's/^/    /'
check "no stand-in plugin and no program in a runtime and development install" \
  bash -c "! (cd '$Q' && find . | grep -Eq '$STANDINS|^\./bin')"
# A deployment puts the chat client's plugins beside the library; the demo's
# copies stand in for them here.
cp -P "$P"/lib/im_adapter-demo/*.so "$Q/lib/"
check "README C host example with plugins beside the library" readme_example "$Q" 1
consumer=$REPO/scripts/package-consumer
check "consumer project through find_package(im_adapter)" bash -c "
  cmake -S '$consumer' -B '$work/consumer' -G Ninja -DCMAKE_PREFIX_PATH='$Q' >/dev/null &&
  cmake --build '$work/consumer' >/dev/null && '$work/consumer/consumer'"
check "consumer through pkg-config im_adapter" bash -c "
  export PKG_CONFIG_PATH='$Q/lib/pkgconfig' &&
  test \"\$(pkg-config --modversion im_adapter)\" = '$version' &&
  cc '$consumer/consumer.c' -o '$work/consumer-pc' \$(pkg-config --cflags --libs im_adapter) \
    -Wl,-rpath,'$Q/lib' && '$work/consumer-pc'"

# ---- 3. Debian packages -------------------------------------------------------------------------
log "cpack -G DEB"
if (cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1); then
  for deb in "$work"/deb/*.deb; do
    log "$(basename "$deb"):"
    dpkg-deb -f "$deb" Package Version Depends | sed 's/^/    /'
    dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print "    " $0 }'
    check "$(basename "$deb") holds no stand-in plugin" \
      bash -c "! dpkg-deb -c '$deb' | grep -Eq '$STANDINS'"
    # Errors and warnings fail the check; the remaining tags are explained in README.md.
    check "$(basename "$deb") lintian" lintian --fail-on error,warning "$deb"
  done
  check "a runtime and a development package" \
    test -f "$work/deb/libim-adapter1_${version}-1_amd64.deb" -a \
    -f "$work/deb/libim-adapter-dev_${version}-1_amd64.deb"
else
  tail -n 30 "$work/cpack.log" >&2
  fail "cpack -G DEB"
fi

log "finished with $failures failure(s)"
[[ $failures -eq 0 ]]
