#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
# Paths inside the clone hash the same wherever CI clones it.
export CCACHE_BASEDIR=$PWD

scripts/build.sh build -DTQ_WERROR=ON
# The loader records every library and plugin the tests' processes load, for the
# dependency check below (to files of its own: the tests' output stays as it is).
rm -rf build/loaded && mkdir -p build/loaded
(cd build && LD_DEBUG=files LD_DEBUG_OUTPUT="$PWD/loaded/ld" ctest --output-on-failure -j2 --timeout 600)
# Everything the build, the programs and the tests used from the system comes with the
# install list, so a fresh machine has it too.
scripts/check-deps.py build --trace build/loaded

# The core's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer (the
# window tests run in the build above).
scripts/build.sh build-asan -DTQ_WERROR=ON -DTQ_SANITIZE=ON -DTQ_BENCH=OFF -DTQ_GUI=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 --timeout 900)
