#!/usr/bin/env bash
# One command for everything on a Debian machine:
#   ./build.sh play    install what is missing, build, and play the show
#   ./build.sh test    install what is missing, build, and run every test
#   ./build.sh build   install what is missing and build
set -euo pipefail
cd "$(dirname "$0")"

# What building and playing needs; the tests need more (the handheld's
# cross compiler and emulator, the browser build and a browser, OCR, fuzzing).
packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libpng-dev zlib1g-dev ffmpeg)
test_packages=(xvfb xauth tesseract-ocr g++-arm-linux-gnueabi binutils-arm-linux-gnueabi
               qemu-user python3 emscripten chromium clang libclang-rt-14-dev nodejs)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
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
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build -j"$(nproc)"
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
    ctest --test-dir build -j"$(nproc)" --output-on-failure
    ;;
build)
    install_missing
    build
    ;;
*)
    echo "usage: ./build.sh [play|test|build] [nyra1 options]" >&2
    exit 2
    ;;
esac
