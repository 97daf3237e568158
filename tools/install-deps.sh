#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only what is missing).
set -euo pipefail
packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcairo2-dev libx11-dev libxres-dev
          libsndfile1-dev xvfb xauth fonts-liberation valgrind bc)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
