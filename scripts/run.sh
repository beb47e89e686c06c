#!/usr/bin/env bash
# Builds a release build and starts Tessaloom. The paper bank and the user
# guide are put beside the executable (build/bin) where they are absent.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$here/build"
exec "$here/build/bin/tessaloom" "$@"
