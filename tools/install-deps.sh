#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only what is missing), with sudo
# when not run as root. The package lists are refreshed first, as a fresh machine has none.
#
#   tools/install-deps.sh            # the Linux build, tests and benchmark
#   tools/install-deps.sh --windows  # and the mingw-w64 cross compiler for the Windows build
#   tools/install-deps.sh --wine     # and Wine, to run the Windows tests
set -euo pipefail
packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcairo2-dev libx11-dev libxres-dev
          libsndfile1-dev libebur128-dev portaudio19-dev libjack-jackd2-dev xvfb xauth fonts-liberation valgrind bc lv2-dev liblilv-dev)
for option in "$@"; do
  case "$option" in
    --windows) packages+=(g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64) ;;
    --wine) packages+=(wine) ;;
    *) echo "usage: $0 [--windows] [--wine]" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "These packages are missing: ${missing[*]}" >&2
    echo "Run this script as root, or install sudo, to install them." >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
