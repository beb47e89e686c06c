#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite
# (unit, offscreen GUI and headless Chromium tests). Needs no display and no input.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh" --tests
build="$here/build-tests"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESS_WERROR=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 </dev/null
