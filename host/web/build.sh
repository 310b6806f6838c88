#!/usr/bin/env bash
# Builds the browser page with Debian's emscripten into build-web/page/ (or
# the folder given): index.html, index.js, index.wasm, the app's manifest,
# its icons, the script checker, the handheld program (where the cross
# compiler is, or NYRA1_WEB_GPE names one) and the service worker that
# keeps them offline, nothing fetched
# from elsewhere. Serve that folder with any static file server, e.g.
# python3 -m http.server -d build-web/page 8000
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${NYRA1_WEB_BUILD:-$root/build-web}"
out="${1:-$build/page}"
if ! command -v emcmake > /dev/null; then
    echo "emscripten is missing: apt-get install emscripten" >&2
    exit 2
fi
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
# NYRA1_WEB_GPE: a nyra1.gpe built already (the PC build's build/gp2x/),
# for the page's download of the handheld program; else it is cross-built.
emcmake cmake -S "$root" -B "$build" -DNYRA1_PLATFORM=web -DNYRA1_WEB_OUT="$out" \
    -DNYRA1_WEB_GPE="${NYRA1_WEB_GPE:-}" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc)"
echo "The page is in $out: serve it with  python3 -m http.server -d $out 8000"
