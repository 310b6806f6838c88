#!/usr/bin/env bash
# build.sh play against stand-ins for dpkg-query, apt-get, cmake and the
# program: it installs only what playing needs, builds only the program, and
# without a display (or with one that does not answer) records the show into
# the Videos folder and says where.
#   play_is_light.sh BUILD_SH WORK_DIR
set -u
build_sh=$1
work=$2
rm -rf "$work"
mkdir -p "$work/bin" "$work/tree/build/host" "$work/home"
cp "$build_sh" "$work/tree/build.sh"

cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
exit 1
STUB
cat > "$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*"
STUB
cat > "$work/bin/cmake" <<STUB
#!/bin/sh
echo "cmake \$*" >> "$work/cmake.txt"
STUB
cat > "$work/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
# The program: says what it was asked; a display that does not answer is
# said as the real program says it.
cat > "$work/tree/build/host/nyra1" <<STUB
#!/bin/sh
echo "nyra1 \$*" >> "$work/nyra1.txt"
case " \$* " in *" --record "*) exit 0 ;; esac
if [ -n "\${NO_ANSWER:-}" ]; then echo "nyra1: no display could be opened (DISPLAY=\$DISPLAY: x11 not available)" >&2; exit 2; fi
exit 0
STUB
chmod +x "$work/bin/"* "$work/tree/build/host/nyra1"

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
play() {
    rm -f "$work/cmake.txt" "$work/nyra1.txt"
    (cd "$work/tree" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_VIDEOS_DIR HOME="$work/home" PATH="$work/bin:$PATH" \
        "$@" bash build.sh play > "$work/out.txt" 2>&1)
}

# No display: only what playing needs is installed, only the program built,
# and the show recorded into ~/Videos, as said.
play env
log="$work/tree/build/apt.log"
for p in libsdl2-dev libpng-dev ffmpeg; do
    grep -q "install .*\b$p\b" "$log" || fail "playing does not install $p"
done
for p in libgtest-dev libgmock-dev libbenchmark-dev xvfb emscripten chromium firefox-esr qemu-user; do
    grep -q "install .*\b$p\b" "$log" && fail "playing installs $p, which only the tests need"
done
grep -q "^cmake --build --preset play" "$work/cmake.txt" || fail "playing does not build the play preset: $(cat "$work/cmake.txt")"
grep -q -- "--preset default -j" "$work/cmake.txt" && fail "playing builds everything"
grep -q "^nyra1 --record $work/home/Videos/nyra1.mp4" "$work/nyra1.txt" || fail "no recording into ~/Videos: $(cat "$work/nyra1.txt")"
grep -q "recording the show to $work/home/Videos/nyra1.mp4" "$work/out.txt" || fail "where the video goes is not said"

# A display named but not answering: the window says so, then the show is
# recorded all the same.
play env DISPLAY=:197 NO_ANSWER=1
grep -q "no display could be opened" "$work/out.txt" || fail "the window's line is not shown"
[ "$(grep -c "^nyra1" "$work/nyra1.txt")" -eq 2 ] || fail "no recording after the window: $(cat "$work/nyra1.txt")"
grep -q "^nyra1 --record" "$work/nyra1.txt" || fail "no recording after the window"

# A display that answers: the window, nothing recorded.
play env DISPLAY=:0
[ "$(cat "$work/nyra1.txt")" = "nyra1 " ] || fail "with a display the window did not just play: $(cat "$work/nyra1.txt")"

# A mode of the user's own goes straight to the program.
play env DISPLAY=:0 bash -c 'exec bash build.sh play --frames /tmp/x' 2>/dev/null
grep -q "^nyra1 --frames /tmp/x" "$work/nyra1.txt" || fail "options after play do not reach the program"

if [ "$failures" -ne 0 ]; then cat "$work/out.txt"; exit 1; fi
echo "build.sh play: installs and builds what playing needs, records where it says"
