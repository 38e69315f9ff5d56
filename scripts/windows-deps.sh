#!/usr/bin/env bash
# Installs what the Windows builds need and builds their third-party libraries.
#
#   scripts/windows-deps.sh [TRIPLET...]      (default: i686-w64-mingw32 x86_64-w64-mingw32)
#
# - Debian packages: the MinGW-w64 compilers with the posix thread model, their
#   binutils, wine64 (runs the x86_64 tests), the GoogleTest sources.
# - Static libraries built from Debian's own source packages with the MinGW
#   compilers: JsonCpp, zlib, OpenSSL libcrypto, GoogleTest, pugixml, SQLite.
#   They go into a cache outside the repository:
#     $IM_WIN_CACHE/<triplet>-r<recipe>/prefix     (default IM_WIN_CACHE=/var/cache/im_adapter-win)
#   keyed by the compiler version, the source versions Debian offers and the recipe
#   number below; a rerun with an unchanged key only checks and takes seconds.
# Prints nothing on stdout but the prefixes, one per triplet, so that a caller may
# capture them. Progress goes to stderr; build logs to <cache>/<triplet>-r<recipe>/logs.
set -euo pipefail

# Raise when the way a library is built changes, so that every cache is rebuilt.
readonly RECIPE=1
readonly CACHE_ROOT="${IM_WIN_CACHE:-/var/cache/im_adapter-win}"
readonly SRC_ROOT="$CACHE_ROOT/src"
readonly JOBS="${IM_WIN_JOBS:-2}"
# Folders compiled into libcrypto: a fixed location under Program Files, which only
# administrators can create, never a path of the build machine.
readonly SSL_DIR_WIN="C:/Program Files/im_adapter/ssl"
readonly SSL_LIB_WIN="C:/Program Files/im_adapter/lib"

readonly SOURCE_PACKAGES=(libjsoncpp zlib openssl pugixml sqlite3)

log() { echo "[windows-deps] $*" >&2; }
die() { echo "[windows-deps] error: $*" >&2; exit 1; }

SELF=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")
if [[ ${1:-} == --build-one ]]; then
  BUILD_ONE=$2
else
  BUILD_ONE=""
fi

# ---- Debian packages ------------------------------------------------------------------------

apt_updated=0
apt_update_once() {
  if [[ $apt_updated -eq 0 ]]; then
    log "apt-get update"
    apt-get -o DPkg::Lock::Timeout=900 update -qq >&2
    apt_updated=1
  fi
}

missing_packages() {
  local p
  for p in "$@"; do
    [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" == "install ok installed" ]] || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [[ -z "$missing" ]] && return 0
  apt_update_once
  log "installing:" $missing
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends $missing >&2
}

toolchain_packages() {
  local arch
  for t in "${TRIPLETS[@]}"; do
    arch=${t%%-*}
    [[ $arch == x86_64 ]] && arch=x86-64
    echo "g++-mingw-w64-$arch-posix gcc-mingw-w64-$arch-posix binutils-mingw-w64-$arch"
  done
}

# ---- Debian source packages -----------------------------------------------------------------

enable_deb_src() {
  local f=/etc/apt/sources.list.d/debian.sources need_update=0
  if [[ -f $f ]] && grep -q '^Types: deb$' "$f"; then
    log "enabling deb-src in $f"
    sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    need_update=1
  fi
  load_source_offers
  [[ -n "$(source_versions zlib)" ]] || need_update=1
  if [[ $need_update -eq 1 ]]; then
    apt_updated=0
    apt_update_once
    load_source_offers
  fi
  [[ -n "$(source_versions zlib)" ]] ||
    die "no source packages known to apt (add deb-src to the Types: line of the sources)"
}

# What apt offers of the source packages, read once (apt-cache is slow on a
# loaded machine) and handed to the recipe runs through the environment.
load_source_offers() {
  SOURCE_OFFERS=$(apt-cache madison "${SOURCE_PACKAGES[@]}" 2>/dev/null | grep Sources || true)
  export SOURCE_OFFERS
}

# Source versions apt offers for a package, newest first.
source_versions() {
  [[ -n ${SOURCE_OFFERS:-} ]] || load_source_offers
  awk -F'|' -v pkg="$1" '{gsub(/ /, "", $1); gsub(/ /, "", $2)} $1 == pkg {print $2}' \
    <<<"$SOURCE_OFFERS" | sort -u | sort -rV
}

# Unpacks the newest version of a source package whose files all download; prints its folder.
fetch_source() {
  local pkg=$1 ver dir
  for ver in $(source_versions "$pkg"); do
    dir="$SRC_ROOT/$pkg-${ver//:/_}"
    if [[ -f "$dir/.unpacked" ]]; then
      cat "$dir/.unpacked"
      return 0
    fi
    rm -rf "$dir" && mkdir -p "$dir"
    log "apt-get source $pkg=$ver"
    if (cd "$dir" && apt-get source -qq "$pkg=$ver" >"$dir/fetch.log" 2>&1); then
      local tree
      tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)
      [[ -n "$tree" ]] || die "apt-get source $pkg=$ver unpacked nothing"
      echo "$tree" >"$dir/.unpacked"
      echo "$tree"
      return 0
    fi
    log "  $pkg=$ver did not download, trying an older version"
    rm -rf "$dir"
  done
  die "no version of source package $pkg could be downloaded"
}

# ---- cache key ------------------------------------------------------------------------------

cache_key() {
  local t=$1 pkg
  echo "recipe $RECIPE"
  echo "compiler $("$t-g++-posix" -dumpfullversion) $(dpkg-query -W -f='${Version}' mingw-w64-common)"
  echo "googletest $(dpkg-query -W -f='${Version}' googletest)"
  for pkg in "${SOURCE_PACKAGES[@]}"; do
    echo "$pkg $(source_versions "$pkg" | tr '\n' ' ')"
  done
}

# ---- library recipes ------------------------------------------------------------------------
# Each runs in a scratch folder, reads $T (triplet), $PREFIX, $TOOLCHAIN, writes into $PREFIX.

cmake_build() {
  local src=$1 name=$2
  shift 2
  cmake -S "$src" -B "$WORK/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DIM_WIN_DEPS_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$WORK/$name" -j "$JOBS"
  cmake --install "$WORK/$name"
}

build_zlib() {
  local src
  src=$(fetch_source zlib)
  cp -a "$src" "$WORK/zlib" && cd "$WORK/zlib"
  CHOST="$T" CC="$T-gcc-posix" AR="$T-ar" RANLIB="$T-ranlib" ./configure --static --prefix="$PREFIX"
  make -j "$JOBS" libz.a
  install -d "$PREFIX/lib" "$PREFIX/include"
  install -m 644 libz.a "$PREFIX/lib/libz.a"
  install -m 644 zlib.h zconf.h "$PREFIX/include/"
}

build_jsoncpp() {
  cmake_build "$(fetch_source libjsoncpp)" jsoncpp -DJSONCPP_WITH_TESTS=OFF \
    -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF \
    -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
}

build_pugixml() {
  cmake_build "$(fetch_source pugixml)" pugixml -DPUGIXML_BUILD_TESTS=OFF
}

build_googletest() {
  cmake_build /usr/src/googletest googletest -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON
}

build_openssl() {
  local src target
  src=$(fetch_source openssl)
  cp -a "$src" "$WORK/openssl" && cd "$WORK/openssl"
  target=mingw
  [[ $T == x86_64-* ]] && target=mingw64
  ./Configure "$target" no-shared no-asm no-tests no-autoload-config \
    --cross-compile-prefix="$T-" --prefix="$PREFIX" --openssldir="$SSL_DIR_WIN"
  local dirs=(OPENSSLDIR="$SSL_DIR_WIN" ENGINESDIR="$SSL_LIB_WIN/engines-3"
    MODULESDIR="$SSL_LIB_WIN/ossl-modules")
  make -j "$JOBS" "${dirs[@]}" build_generated
  make -j "$JOBS" "${dirs[@]}" libcrypto.a
  if [[ $(strings libcrypto.a | grep -c "$WORK") -gt 0 ]]; then
    die "libcrypto.a holds a path of the build machine"
  fi
  install -d "$PREFIX/lib" "$PREFIX/include/openssl"
  install -m 644 libcrypto.a "$PREFIX/lib/libcrypto.a"
  install -m 644 include/openssl/*.h "$PREFIX/include/openssl/"
}

build_sqlite() {
  local src amalgamation
  src=$(fetch_source sqlite3)
  # The amalgamation (one sqlite3.c) is made with host tools, once per source
  # version, and then compiled for each Windows target.
  amalgamation="$(dirname "$src")/amalgamation"
  if [[ ! -f "$amalgamation/sqlite3.c" ]]; then
    mkdir -p "$WORK/sqlite-host" && cd "$WORK/sqlite-host"
    "$src/configure" --disable-tcl
    make -j "$JOBS" sqlite3.c
    rm -rf "$amalgamation.tmp" && mkdir -p "$amalgamation.tmp"
    cp sqlite3.c sqlite3.h sqlite3ext.h "$amalgamation.tmp/"
    rm -rf "$amalgamation" && mv "$amalgamation.tmp" "$amalgamation"
  fi
  mkdir -p "$WORK/sqlite" && cd "$WORK/sqlite"
  "$T-gcc-posix" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
    -c "$amalgamation/sqlite3.c" -o sqlite3.o
  "$T-ar" rcs libsqlite3.a sqlite3.o
  install -d "$PREFIX/lib" "$PREFIX/include"
  install -m 644 libsqlite3.a "$PREFIX/lib/libsqlite3.a"
  install -m 644 "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$PREFIX/include/"
}

# Each library is built by a fresh run of this script ("--build-one LIB"), so
# that errexit holds inside the recipe: bash ignores it in a function called
# from a condition.
build_all() {
  local lib
  for lib in zlib jsoncpp pugixml googletest openssl sqlite; do
    [[ -f "$DEST/done-$lib" ]] && continue  # built by an interrupted run with the same key
    log "  $T: $lib"
    if ! "$SELF" --build-one "$lib" >"$LOGS/$lib.log" 2>&1; then
      tail -n 40 "$LOGS/$lib.log" >&2
      die "$T: building $lib failed (log: $LOGS/$lib.log)"
    fi
    touch "$DEST/done-$lib"
  done
}

if [[ -n $BUILD_ONE ]]; then
  "build_$BUILD_ONE"
  exit 0
fi

# ---- main -----------------------------------------------------------------------------------

TRIPLETS=("$@")
[[ ${#TRIPLETS[@]} -gt 0 ]] || TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)
for t in "${TRIPLETS[@]}"; do
  case "$t" in
    i686-w64-mingw32 | x86_64-w64-mingw32) ;;
    *) die "unknown triplet '$t' (i686-w64-mingw32 or x86_64-w64-mingw32)" ;;
  esac
done

# shellcheck disable=SC2046
install_packages $(toolchain_packages) mingw-w64-tools wine64 googletest cmake ninja-build make \
  dpkg-dev xz-utils tcl

REPO_ROOT=$(cd "$(dirname "$SELF")/.." && pwd)
mkdir -p "$SRC_ROOT"
enable_deb_src

for T in "${TRIPLETS[@]}"; do
  DEST="$CACHE_ROOT/$T-r$RECIPE"
  PREFIX="$DEST/prefix"
  LOGS="$DEST/logs"
  TOOLCHAIN="$REPO_ROOT/cmake/toolchains/$T.cmake"
  key=$(cache_key "$T")
  if [[ -f "$DEST/key" && "$(cat "$DEST/key")" == "$key" && -f "$DEST/complete" ]]; then
    log "$T: cache is current ($DEST)"
  else
    log "$T: building the libraries into $DEST"
    start=$SECONDS
    if [[ ! -f "$DEST/key" || "$(cat "$DEST/key")" != "$key" ]]; then
      rm -rf "$DEST" && mkdir -p "$PREFIX" "$LOGS"
      echo "$key" >"$DEST/key"
    fi
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/im_adapter-win-$T.XXXXXX")
    # shellcheck disable=SC2064
    trap "rm -rf '$WORK'" EXIT
    export T PREFIX TOOLCHAIN WORK
    build_all
    rm -rf "$WORK"
    trap - EXIT
    touch "$DEST/complete"
    log "$T: done in $((SECONDS - start)) s"
  fi
  echo "$PREFIX"
done
