#!/usr/bin/env bash
# Configures and builds one build folder. Usage: scripts/build.sh DIR [cmake options...]
# The options are applied on every run, also to a folder configured before (by another
# script with other options); what an earlier run set and this one does not name stays.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -f "$top/$dir/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$top/$dir" "$@" >/dev/null
else
  cmake -S "$top" -B "$top/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
fi
cmake --build "$top/$dir" -j2
