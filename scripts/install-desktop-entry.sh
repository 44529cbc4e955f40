#!/usr/bin/env bash
# Enters the viewer in the user's applications ($XDG_DATA_HOME/applications, by default
# ~/.local/share/applications) for MP4 and AVI files, so a file manager offers "Open with
# TQ-MB20 Viewer" for recordings. Usage: scripts/install-desktop-entry.sh VIEWER_PROGRAM
set -euo pipefail
viewer=$1
case "$viewer" in
  /*) ;;
  *) echo "install-desktop-entry.sh: $viewer: give the program's absolute path" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
# Inside the quoted Exec value, backslash, double quote, back quote and dollar are escaped
# with a backslash, and every backslash is doubled once more for the desktop file itself.
escaped=$(printf '%s' "$viewer" | sed -e 's/\\/\\\\\\\\/g' -e 's/["`$]/\\\\&/g')
shopt -u patsub_replacement 2>/dev/null || true  # "&" in the path stays "&"
template=$(cat "$top/resources/tq-mb20-viewer.desktop")
printf '%s\n' "${template//@VIEWER@/$escaped}" > "$apps/tq-mb20-viewer.desktop.tmp"
mv "$apps/tq-mb20-viewer.desktop.tmp" "$apps/tq-mb20-viewer.desktop"
if command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database "$apps" >/dev/null 2>&1 || true
fi
echo "Desktop entry: $apps/tq-mb20-viewer.desktop"
