#!/usr/bin/env bash
# Installs what is missing, builds, lays out the demo card and starts the viewer on it, the
# card appearing as a removable card. Without a display the viewer runs under xvfb-run and
# leaves a picture of its window in build/viewer.png. The viewer is also entered in the
# user's applications, so a file manager can open recordings with it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build -DTQ_BENCH=OFF
scripts/demo-card.sh build/demo-card
scripts/install-desktop-entry.sh "$PWD/build/TQ-MB20_Viewer"
export TQ_MB20_DRIVES="$PWD/build/demo-card"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" ./build/TQ-MB20_Viewer --screenshot build/viewer.png --after 1500 "$@"
  echo "No display: the viewer's window is in $PWD/build/viewer.png"
else
  exec ./build/TQ-MB20_Viewer "$@"
fi
