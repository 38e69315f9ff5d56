#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when
# they are missing. Needs root (or sudo) only when something must be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libjsoncpp-dev zlib1g-dev libssl-dev libpugixml-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev
  binutils ccache python3-minimal
)
# Extra groups: "fuzz" (clang and its runtime), "dialogs" (a real window for the dialog tests),
# "package" (building and checking the Debian packages and the Windows ZIP).
for group in "$@"; do
  case "$group" in
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    dialogs) packages+=(xvfb zenity xdotool imagemagick x11-utils) ;;
    package) packages+=(dpkg-dev file lintian unzip) ;;
    *) echo "install-deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "install-deps.sh: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
