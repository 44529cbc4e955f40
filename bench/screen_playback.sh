#!/usr/bin/env bash
# On-screen playback benchmark: installs mpv for the comparison row if it is missing, then
# runs bench_ScreenPlayback (the viewer's cost against two mpv processes showing the same
# pair, as ratios of this one run) and bench_DoubleClickPlay (double click on a row to the
# first picture painted) on a private X server. Usage: bench/screen_playback.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
if ! command -v mpv >/dev/null 2>&1; then
  if ! apt-get install -y mpv >/dev/null 2>&1; then
    echo "mpv could not be installed: the comparison row will be skipped" >&2
  fi
fi
cmake --build "$build" -j2 --target bench_ScreenPlayback bench_DoubleClickPlay tqmb20-gen
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench_ScreenPlayback"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench_DoubleClickPlay"
