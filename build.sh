#!/usr/bin/env bash
# One command for everything on a Debian machine:
#   ./build.sh play    install what is missing, build, and play the show
#   ./build.sh test    install what is missing, build, and run every test
#   ./build.sh build   install what is missing and build
#   ./build.sh setup   install what building and every test need, nothing else
# The builds use the presets of CMakePresets.json (default: build/).
set -euo pipefail
cd "$(dirname "$0")"

# What building and playing needs; the tests need more (the handheld's
# cross compiler and emulator, the browser build and a browser, OCR, fuzzing,
# the package checks).
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libpng-dev zlib1g-dev ffmpeg)
test_packages=(xvfb xauth tesseract-ocr g++-arm-linux-gnueabi binutils-arm-linux-gnueabi
               qemu-user python3 emscripten chromium clang libclang-rt-14-dev nodejs
               dpkg-dev lintian desktop-file-utils man-db groff-base
               g++-aarch64-linux-gnu g++-arm-linux-gnueabihf retroarch dbus)

# Installs the missing packages quietly: one line a step, apt's whole output
# in build/apt.log, shown only when a step fails.
install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    mkdir -p build
    local log=build/apt.log
    : > "$log"
    step "Updating the package lists (log: $log)" "$log" $sudo apt-get update
    step "Installing ${#missing[@]} packages: ${missing[*]} (log: $log)" "$log" \
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

# step LINE LOG COMMAND...: says LINE, runs COMMAND into LOG.
step() {
    local line=$1 log=$2
    shift 2
    echo "$line"
    if ! "$@" >> "$log" 2>&1; then
        echo "The step failed: $*; its log ($log):" >&2
        cat "$log" >&2
        exit 1
    fi
}

# The browser page's test drives chromium through Playwright's driver, an
# npm package (host/web/package.json); without npm those tests are skipped.
install_npm_packages() {
    if ! command -v npm > /dev/null; then
        echo "npm is missing: the page tests that need Playwright will be skipped" >&2
        return
    fi
    [ -f host/web/node_modules/playwright-core/package.json ] && return
    npm ci --prefix host/web --no-audit --no-fund
}

build() {
    cmake --preset default > /dev/null
    cmake --build --preset default -j"$(nproc)"
}

case "${1:-play}" in
play)
    install_missing
    build
    shift || true
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec ./build/host/nyra1 "$@"
    fi
    echo "No display here: recording the show to nyra1.mp4 instead."
    exec ./build/host/nyra1 --record nyra1.mp4 "$@"
    ;;
test)
    packages+=("${test_packages[@]}")
    install_missing
    install_npm_packages
    build
    ctest --preset default -j"$(nproc)"
    ;;
build)
    install_missing
    build
    ;;
setup)
    packages+=("${test_packages[@]}")
    install_missing
    ;;
*)
    echo "usage: ./build.sh [play|test|build|setup] [nyra1 options]" >&2
    exit 2
    ;;
esac
