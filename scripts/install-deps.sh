#!/usr/bin/env bash
# Installs what Tessaloom needs on Debian 12, only what is missing.
#   install-deps.sh          build and run the program
#   install-deps.sh --tests  also what the tests use: Chromium, Node.js and playwright-core
#                            for the page, poppler-utils to read the printed PDFs, and the
#                            PostgreSQL 15 server the tests start for the server engine, and
#                            what the package test packs and validates with
#   install-deps.sh --package  also what the package is made and checked with (lintian too)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

pkgs=(g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev libpq-dev pkg-config fonts-wqy-microhei
      qt6-translations-l10n libsodium-dev)
if [ "${1:-}" = "--tests" ]; then
  pkgs+=(chromium nodejs poppler-utils postgresql-15 dpkg-dev file desktop-file-utils appstream)
  command -v npm >/dev/null 2>&1 || pkgs+=(npm)
fi
if [ "${1:-}" = "--package" ]; then
  pkgs+=(dpkg-dev file desktop-file-utils appstream lintian)
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

if [ "${1:-}" = "--tests" ]; then
  cd "$here/tests/browser"
  # Again whenever the lock file names a package node_modules lacks.
  if ! node -e 'const fs = require("fs");
      for (const p in require("./package-lock.json").packages)
        if (p && !fs.existsSync(p)) process.exit(1)' 2>/dev/null; then
    npm ci --no-audit --no-fund --loglevel=error </dev/null
  fi
fi
