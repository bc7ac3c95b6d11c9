#!/bin/sh
# Installs what building, running and testing need on Debian 12 (as root).
set -e
packages="cmake ninja-build g++ pkg-config libsdl2-dev libmpg123-dev libcairo2-dev libfreetype-dev
  fonts-dejavu-core fonts-dejavu-extra espeak-ng lame libgtest-dev libbenchmark-dev
  libcpp-httplib-dev libcurl4-openssl-dev libmicrohttpd-dev libicu-dev nginx-light libsqlite3-dev libpqxx-dev nlohmann-json3-dev postgresql sqlite3 util-linux chromium
  wrk
  curl
  dpkg-dev file desktop-file-utils appstream emscripten nodejs"
# The web build's precompressed siblings (server/precompress.cmake) and
# its inline scripts' hashes (libcrypto).
packages="$packages brotli libssl-dev"
# The Windows preset: the MinGW-w64 cross compiler, Wine to run its programs
# and tests, GoogleTest's sources to build with it, the installer's maker,
# and an X server for the Windows window under Wine.
packages="$packages g++-mingw-w64-x86-64-posix wine wine64 googletest nsis xvfb"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
# The browser tests drive chromium with puppeteer-core (tests/web/package-lock.json); no browser is downloaded.
if [ ! -d "$(dirname "$0")/../tests/web/node_modules/puppeteer-core" ]; then
  command -v npm >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends npm
  (cd "$(dirname "$0")/../tests/web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
