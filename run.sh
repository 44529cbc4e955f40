#!/usr/bin/env bash
# Installs what is missing, builds, lays out the demo card and shows it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build -DTQ_BENCH=OFF
scripts/demo-card.sh build/demo-card
./build/tqmb20 card build/demo-card
./build/tqmb20 list build/demo-card/TQ-MB20/Record
