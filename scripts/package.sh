#!/usr/bin/env bash
# Makes the Debian package build-package/tessaloom_<version>_amd64.deb from
# this tree, as root on Debian 12: installs what the build and the packaging
# need, builds a release build in build-package/, packs it with CPack (the
# dependencies found from the binaries by dpkg-shlibdeps), and checks what the
# package installs: desktop-file-validate, appstreamcli validate and lintian
# (errors). Install it with `apt install ./build-package/tessaloom_*.deb`.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/build-package"

# dpkg-shlibdeps (dpkg-dev) and file for CPack; the validators for the checks.
bash "$here/scripts/install-deps.sh" --package

# Only what the package holds is built: no tests, no benchmarks.
# Hardened as Debian builds its own packages.
cmake -S "$here" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
cmake --build "$out" --target tessaloom tessaloom-newbank tessaloom-bank tessaloom-exchange \
  tessaloom-print tessaloom-publish install_files
rm -f "$out"/tessaloom_*.deb
(cd "$out" && cpack -G DEB)
deb="$(ls "$out"/tessaloom_*_amd64.deb)"

bash "$here/scripts/check-package.sh" "$deb" --lintian
echo "Package: $deb"
