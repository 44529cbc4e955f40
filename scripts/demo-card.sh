#!/usr/bin/env bash
# Lays out the demo card once: the sample generator's card when it is built, otherwise
# a card of recording names and the camera's identity file.
set -euo pipefail
dir=$1
top=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$dir/.complete" ] && exit 0
rm -rf "$dir"
if [ -x "$top/build/tqmb20-gen" ]; then
  "$top/build/tqmb20-gen" --demo-card "$dir" --seed 1
else
  rec="$dir/TQ-MB20/Record"
  mkdir -p "$rec" "$dir/TQ-MB20/Config"
  for n in 20261205_081500_NF 20261205_081500_NR 20261205_082500_EF 20261205_082500_ER \
           20261205_235930_NF 20261205_235930_NR 20261206_120000_PF 20261206_121000_M; do
    : > "$rec/$n.mp4"
  done
  printf '[firmware]\r\nversion = 1.005\r\nmodel = XTQ-MB20A\r\nlanguage = English\r\nopt = 0\r\n[config]\r\nversion = 1.002\r\n[local]\r\noption = 0\r\nregion = 0\r\n' \
    > "$dir/TQ-MB20/Config/version.bin"
fi
touch "$dir/.complete"
