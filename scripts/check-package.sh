#!/usr/bin/env bash
# Checks a Debian package of Tessaloom as it would be installed:
#   check-package.sh PACKAGE.deb [--lintian]   a package made by scripts/package.sh
#   check-package.sh --build BUILD-DIR          packs that build with CPack first
# The files in place, the control fields and dependencies, each program's
# --version, the first start of the installed program in a fresh home folder
# (it puts the ready-made bank and the guide there and nothing beside itself),
# and, where installed, desktop-file-validate, appstreamcli validate and
# (with --lintian) lintian's errors. Exits non-zero on the first fault.
set -euo pipefail

work="$(mktemp -d)"
started=""
cleanup() {
  [ -z "$started" ] || kill "$started" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

lintian_too=""
if [ "${1:-}" = "--build" ]; then
  [ -n "${2:-}" ] || fail "usage: check-package.sh --build BUILD-DIR"
  (cd "$2" && cpack -G DEB -B "$work/pack" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; fail "cpack could not make the package"; }
  deb="$(ls "$work"/pack/tessaloom_*_amd64.deb)"
else
  deb="${1:-}"
  [ "${2:-}" = "--lintian" ] && lintian_too=yes
fi
[ -f "$deb" ] || fail "no package: $deb"
echo "checking $deb"

field() { dpkg-deb -f "$deb" "$1"; }
version="$(field Version)"
[ "$(field Package)" = tessaloom ] || fail "Package is $(field Package)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
[ "$(field Section)" = education ] || fail "Section is $(field Section)"
[ "$(basename "$deb")" = "tessaloom_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends="$(field Depends)"
# Found from the binaries: Qt, SQLite, the PostgreSQL client, libsodium.
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libsqlite3-0 libpq5 libsodium23 \
    fonts-wqy-microhei; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
programs=(tessaloom tessaloom-newbank tessaloom-bank tessaloom-exchange tessaloom-print tessaloom-publish)
files=(usr/share/tessaloom/tessaloom.mdb usr/share/tessaloom/tessaloom.htm
  usr/share/applications/tessaloom.desktop usr/share/metainfo/org.tessaloom.tessaloom.metainfo.xml
  usr/share/icons/hicolor/48x48/apps/tessaloom.png usr/share/icons/hicolor/256x256/apps/tessaloom.png
  usr/share/icons/hicolor/scalable/apps/tessaloom.svg
  usr/share/doc/tessaloom/copyright usr/share/doc/tessaloom/changelog.gz)
for p in "${programs[@]}"; do
  files+=("usr/bin/$p" "usr/share/man/man1/$p.1.gz")
done
for f in "${files[@]}"; do
  [ -s "$root/$f" ] || fail "missing or empty: /$f"
done
for p in "${programs[@]}"; do
  [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p is not executable"
  said="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$p" --version)"
  [ "$said" = "$p (Tessaloom) $version" ] || fail "$p --version said: $said"
  zcat "$root/usr/share/man/man1/$p.1.gz" | grep -q "Tessaloom $version" ||
    fail "the manual page of $p does not carry version $version"
done
head -c 15 "$root/usr/share/tessaloom/tessaloom.mdb" | grep -q "SQLite format 3" ||
  fail "the ready-made bank is no SQLite file"

# The first start of the installed program in a fresh home folder.
home="$work/home"
mkdir -p "$home"
chmod a-w "$root/usr/bin"
(cd "$work" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
  XDG_RUNTIME_DIR="$work" "$root/usr/bin/tessaloom" >"$work/start.log" 2>&1) &
started=$!
data="$home/.local/share/tessaloom"
for _ in $(seq 1 600); do
  [ -f "$data/tessaloom.htm" ] && break
  kill -0 "$started" 2>/dev/null || { cat "$work/start.log" >&2; fail "tessaloom ended at its start"; }
  sleep 0.1
done
kill "$started" 2>/dev/null || true
wait "$started" 2>/dev/null || true
started=""
chmod u+w "$root/usr/bin"
cmp -s "$data/tessaloom.mdb" "$root/usr/share/tessaloom/tessaloom.mdb" ||
  fail "the first start did not put the ready-made bank in $data"
cmp -s "$data/tessaloom.htm" "$root/usr/share/tessaloom/tessaloom.htm" ||
  fail "the first start did not put the guide in $data"
[ -d "$data/images" ] || fail "no pictures folder in $data"
[ -d "$home/.config/tessaloom" ] || fail "no settings folder in $home/.config"
[ "$(ls "$root/usr/bin" | wc -l)" -eq ${#programs[@]} ] || fail "files beside the installed program"

entry="$root/usr/share/applications/tessaloom.desktop"
for line in '^Exec=tessaloom$' '^Icon=tessaloom$' '^Categories=.*Education;' '^Name\[zh_CN\]=' \
    '^Comment\[zh_CN\]=' '^Comment='; do
  grep -q "$line" "$entry" || fail "the desktop entry lacks $line"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/tessaloom.desktop" || fail "desktop entry"
  echo "desktop-file-validate: passed"
else
  echo "desktop-file-validate: not installed, skipped"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/org.tessaloom.tessaloom.metainfo.xml" ||
    fail "metainfo"
  echo "appstreamcli validate: passed"
else
  echo "appstreamcli: not installed, skipped"
fi
if [ -n "$lintian_too" ]; then
  if command -v lintian >/dev/null; then
    lintian --fail-on error --allow-root "$deb" || fail "lintian found errors"
    echo "lintian: no errors"
  else
    echo "lintian: not installed, skipped"
  fi
fi
echo "package checked: $(basename "$deb")"
