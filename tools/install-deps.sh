#!/usr/bin/env bash
# Installs the Debian packages Quenta needs to build, test and benchmark, when any are missing.
set -euo pipefail
pkgs=(g++ cmake ninja-build make qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
      clang libclang-rt-14-dev xvfb xauth fonts-dejavu-core desktop-file-utils appstream libeigen3-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
