#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
# Paths inside the clone hash the same wherever CI clones it.
export CCACHE_BASEDIR=$PWD

scripts/build.sh build -DTQ_WERROR=ON
(cd build && ctest --output-on-failure -j2 --timeout 600)

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
scripts/build.sh build-asan -DTQ_WERROR=ON -DTQ_SANITIZE=ON -DTQ_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 --timeout 900)
