#!/usr/bin/env bash
# Installs the Debian packages the build, the viewer and the tests need.
# Idempotent and quiet when nothing is missing.
set -euo pipefail

PACKAGES=(
  # build
  g++ cmake ninja-build ccache pkg-config
  # decoding, demuxing, scaling, resampling
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  # windows, sound
  qt6-base-dev libqt6opengl6-dev qt6-multimedia-dev libgl-dev libgl1-mesa-dri
  # the map panel: the browser, its channel to the page, and the map library the page uses
  qt6-webengine-dev qt6-webchannel-dev libjs-leaflet
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # reference readers the tests judge our output with
  ffmpeg dosfstools mtools openssl xvfb xauth pulseaudio pulseaudio-utils poppler-utils libxml2-utils python3
  # the interface starts in Japanese
  fonts-noto-cjk fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
