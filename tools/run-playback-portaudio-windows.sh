#!/usr/bin/env bash
# PortAudio for the Windows cross build of orv-host, so that orv-host.exe plays through the
# sound card as the Linux build does. Debian packages no PortAudio for mingw-w64, so it is
# built here from Debian's own source package (portaudio19) with the mingw-w64 compiler: a
# static library with the MME host API (PortAudio 19.6 builds its WASAPI code only with
# Microsoft's compiler), installed in ORV_WIN_BUILD/portaudio (default build-win/portaudio),
# where tools/build-windows.sh finds it. Run it before tools/build-windows.sh; without it
# orv-host.exe builds without device playback and says so.
#
#   tools/run-playback-portaudio-windows.sh
# Installs dpkg-dev (apt-get source) and the cross compiler; adds a deb-src entry for Debian's
# main archive when apt has none, to fetch the source package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${ORV_WIN_BUILD:-$root/build-win}
prefix="$win/portaudio"
jobs=${ORV_JOBS:-2}

if [ -f "$prefix/lib/libportaudio.a" ] && [ -f "$prefix/include/portaudio.h" ]; then
  echo "PortAudio for Windows is already in $prefix"
  exit 0
fi

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"$root/tools/install-deps.sh" --windows
if ! dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed"; then
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends dpkg-dev
fi

work=$(mktemp -d /tmp/orv-portaudio.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get source -q --download-only portaudio19 >/dev/null 2>&1; then
  # No source lists yet: Debian's main archive for this release, beside the binary lists.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" | "${sudo[@]}" tee /etc/apt/sources.list.d/orv-deb-src.sources >/dev/null
  "${sudo[@]}" apt-get update -q >/dev/null
  apt-get source -q --download-only portaudio19 >/dev/null
fi
tar xzf portaudio19_*.orig.tar.gz
source_dir="$work/portaudio"

echo "--- PortAudio (MME) for mingw-w64 from $(ls portaudio19_*.dsc)"
cmake -S "$source_dir" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPA_USE_WMME=ON -DPA_USE_DS=OFF -DPA_USE_ASIO=OFF -DPA_USE_WDMKS=OFF \
  -DPA_USE_WDMKS_DEVICE_INFO=OFF -DPA_ENABLE_DEBUG_OUTPUT=OFF -Wno-dev -Wno-deprecated >/dev/null
cmake --build "$work/build" -j"$jobs" --target portaudio_static >/dev/null

mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/build/libportaudio_static.a" "$prefix/lib/libportaudio.a"
cp "$source_dir/include/portaudio.h" "$source_dir/include/pa_win_wmme.h" "$prefix/include/"
cp "$source_dir/LICENSE.txt" "$prefix/LICENSE.txt"
echo "PortAudio for Windows installed in $prefix"
