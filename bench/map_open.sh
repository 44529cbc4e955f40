#!/usr/bin/env bash
# The map panel's benchmark: marker latency after an open and the viewer's memory with the
# map shown, on a private X server. Usage: bench/map_open.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j2 --target bench_MapOpen tqmb20-gen
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench_MapOpen"
