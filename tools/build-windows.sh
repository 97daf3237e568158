#!/usr/bin/env bash
# Cross-builds the Windows deliverables with mingw-w64: OrvBorealis.dll, OrvKestrel.dll (both
# with their editors, drawn with GDI+) and orv-host.exe in build-win/. With --test it then runs
# the Windows test set under Wine, editors included; the editor screenshots it takes are left in
# build-win/editor-screenshots/.
#
#   tools/build-windows.sh [--test]
#
# It installs the Debian packages it needs first (tools/install-deps.sh: with sudo when not
# root).
#
# A native Linux build supplies the art generator (the editor bitmaps become resources of the
# DLLs) and, for the tests, the Linux plug-ins whose audio the Windows DLLs must match. It is
# taken from ORV_NATIVE_BUILD (default build/) and configured and built there when needed.
# ORV_WIN_BUILD (default build-win/) and ORV_JOBS (default 2) can be set as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${ORV_NATIVE_BUILD:-$root/build}
win=${ORV_WIN_BUILD:-$root/build-win}
jobs=${ORV_JOBS:-2}
test=0
[ "${1:-}" = "--test" ] && test=1

# What the build needs on a fresh machine: the Linux build packages (the art generator and the
# Linux plug-ins are built natively), the cross compiler and, for --test, Wine. fonts-liberation
# comes with the Linux packages: Wine draws the editors' text with Liberation Sans, and without
# it every text comes out wider, or not at all when no font is installed.
deps=(--windows)
[ $test = 1 ] && deps+=(--wine)
"$root/tools/install-deps.sh" "${deps[@]}"

echo "--- native tools in $native"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
native_targets=(orv-artgen orv-host OrvBorealis)
[ -f "$root/kestrel/CMakeLists.txt" ] && native_targets+=(OrvKestrel)
cmake --build "$native" -j"$jobs" --target "${native_targets[@]}"

echo "--- Windows cross build in $win"
# orv-host.exe plays through the sound card when PortAudio for mingw-w64 is there
# (tools/run-playback-portaudio-windows.sh puts it in $win/portaudio).
portaudio=()
[ -f "$win/portaudio/lib/libportaudio.a" ] && portaudio=(-DORV_WIN_PORTAUDIO="$win/portaudio")
cmake -S "$root" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=ON -DORV_ARTGEN="$native/tools/artgen/orv-artgen" -DORV_LINUX_BUILD="$native" \
  "${portaudio[@]}" >/dev/null
cmake --build "$win" -j"$jobs"

# The deliverables must need nothing but system DLLs, and export VSTPluginMain and main.
objdump=x86_64-w64-mingw32-objdump
allowed='^(kernel32|user32|advapi32|gdi32|msvcrt|shell32|ole32|oleaut32|comdlg32|gdiplus|winmm)\.dll$'
for file in "$win"/OrvBorealis.dll "$win"/OrvKestrel.dll "$win"/orv-host.exe; do
  [ -f "$file" ] || continue
  deps=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $deps; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "$(basename "$file") depends on $dll, which is not a system DLL" >&2
      exit 1
    fi
  done
  if [[ $file == *.dll ]]; then
    exports=$("$objdump" -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
    for name in VSTPluginMain main; do
      grep -q "\] $name\$" <<<"$exports" || { echo "$(basename "$file") does not export $name" >&2; exit 1; }
    done
  fi
  echo "$(basename "$file"): depends on $(echo $deps | tr ' ' ',')"
done

[ $test = 1 ] || exit 0

echo "--- Windows tests under Wine"
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/orv-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
start=$(date +%s)
wine wineboot -i >/dev/null 2>&1
# The null graphics driver: windows, timers, GDI and GDI+ work with no X server (the editors
# open in real windows of the tests and of orv-host.exe).
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -p
# Start Wine's background services now, detached from any output: started inside a test they
# would inherit its output pipe and keep CTest waiting for it to close.
wine cmd /c exit </dev/null >/dev/null 2>&1
echo "Wine prefix ready in $(( $(date +%s) - start )) s"
ctest --test-dir "$win" --output-on-failure --no-tests=error --timeout 300
cat "$win/windows-test-work/compare/summary.txt" 2>/dev/null || true
ls "$win"/editor-screenshots/*.png 2>/dev/null | sed 's/^/editor screenshot: /' || true
# Where the meter settings landed.
wine reg query 'HKCU\Software\Orv-tonekraft\Tamarind' 2>/dev/null | tr -d '\r' | sed -n '/REG_/p' || true
echo "Windows tests took $(( $(date +%s) - start )) s"
