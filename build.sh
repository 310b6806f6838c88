#!/usr/bin/env bash
# One command for everything on a Debian machine:
#   ./build.sh play    install what playing needs, build the program, play the show
#   ./build.sh test    install what the tests need, build everything, run every test
#   ./build.sh build   install what building everything needs and build it
#   ./build.sh setup   install what building and every test need, nothing else
# The builds use the presets of CMakePresets.json (build/).
set -euo pipefail
# The program runs where build.sh was called from, so that the files named
# on its command line (--script, --record, --frames) are the caller's.
caller=$PWD
cd "$(dirname "$0")"
root=$PWD

# Playing needs the compiler, SDL2 for the window, libpng and zlib for the
# PNG files and ffmpeg for videos; building everything needs the test and
# benchmark libraries and the libretro interface's header too; the tests
# need more (the handheld's cross compiler and emulator, the ARM cross
# compilers, clang's linker and tools for the Android cores, mingw-w64 and
# Wine for the Windows core, RetroArch, the browser build and two browsers,
# OCR, fuzzing, the package checks).
packages=(cmake make g++ pkg-config libsdl2-dev libpng-dev zlib1g-dev ffmpeg)
build_packages=(libgtest-dev libgmock-dev libbenchmark-dev retroarch-dev)
test_packages=(xvfb xauth tesseract-ocr firefox-esr g++-arm-linux-gnueabi binutils-arm-linux-gnueabi
               qemu-user python3 emscripten chromium clang libclang-rt-14-dev lld llvm nodejs
               dpkg-dev lintian desktop-file-utils man-db groff-base
               g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-mingw-w64-x86-64 wine wine64 retroarch dbus)

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
    [ -f host/web/node_modules/playwright-core/package.json ] && [ -f host/web/node_modules/webm-muxer/package.json ] && return
    npm ci --prefix host/web --no-audit --no-fund
}

build() {
    cmake --preset default > /dev/null
    cmake --build --preset default -j"$(nproc)"
}

# Where a video goes when there is no display: the Videos folder, never the
# source tree.
video_target() {
    local folder=${XDG_VIDEOS_DIR:-${HOME:+$HOME/Videos}}
    [ -n "$folder" ] || folder=$root/build
    mkdir -p "$folder"
    echo "$folder/nyra1.mp4"
}

case "${1:-play}" in
play)
    install_missing
    # The program alone: no tests, no benchmarks, no cross builds.
    cmake --preset default > /dev/null
    cmake --build --preset play -j"$(nproc)"
    shift || true
    program=$root/build/host/nyra1
    cd "$caller"
    for arg in "$@"; do
        # A mode of the user's own needs no display.
        case "$arg" in --record*|--frames*|--bench|--inside-at*|--check-script*|--export-gpe*|--help|-h|--version)
            exec "$program" "$@" ;;
        esac
    done
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        # The window's errors are shown as they come and kept, to tell a
        # display that does not answer from any other failure.
        errors=$(mktemp)
        set +e
        { "$program" "$@" 2>&1 1>&3 | tee "$errors" >&2; } 3>&1
        status=${PIPESTATUS[0]}
        set -e
        if [ "$status" -ne 2 ] || ! grep -q "no display" "$errors"; then
            rm -f "$errors"
            exit "$status"
        fi
        rm -f "$errors"
    fi
    target=$(video_target)
    echo "No display here: recording the show to $target instead (./build.sh play --record FILE chooses another)."
    exec "$program" --record "$target" "$@"
    ;;
test)
    packages+=("${build_packages[@]}" "${test_packages[@]}")
    install_missing
    install_npm_packages
    build
    ctest --preset default -j"$(nproc)"
    ;;
build)
    packages+=("${build_packages[@]}")
    install_missing
    build
    ;;
setup)
    packages+=("${build_packages[@]}" "${test_packages[@]}")
    install_missing
    ;;
*)
    echo "usage: ./build.sh [play|test|build|setup] [nyra1 options]" >&2
    exit 2
    ;;
esac
