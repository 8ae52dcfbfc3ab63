#!/usr/bin/env bash
# Renders docs/screenshot.png (the started main window) and docs/running.png (a run of sample4
# with the convergence chart beside it), drawn by the program itself offscreen.
# Usage: tools/screenshot.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j 2 --target quenta_screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen QUENTA_SCREENSHOT="$PWD/docs/screenshot.png" \
  QUENTA_SCREENSHOT_RUN="$PWD/docs/running.png" \
  "$build/tests/quenta_screenshot"
echo "wrote docs/screenshot.png and docs/running.png"
