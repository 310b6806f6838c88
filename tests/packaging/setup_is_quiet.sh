#!/usr/bin/env bash
# build.sh's package set-up, against stand-ins for dpkg-query, apt-get and
# sudo: one line a step, the whole apt log in a file and on the screen only
# when a step fails, nothing at all when every package is there.
#   setup_is_quiet.sh BUILD_SH WORK_DIR
set -u
build_sh=$1
work=$2
rm -rf "$work"
mkdir -p "$work/bin" "$work/tree"
cp "$build_sh" "$work/tree/build.sh"

cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
[ -n "${STUB_ALL_INSTALLED:-}" ] && { printf 'install ok installed'; exit 0; }
exit 1
STUB
cat > "$work/bin/apt-get" <<'STUB'
#!/bin/sh
for i in $(seq 1 200); do echo "apt-get $*: line $i"; done
echo "apt-get $*: to stderr" >&2
case " $* " in *" install "*) [ -n "${STUB_FAIL_INSTALL:-}" ] && exit 100 ;; esac
exit 0
STUB
cat > "$work/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
chmod +x "$work/bin/"*

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
setup() { PATH="$work/bin:$PATH" "$@" bash "$work/tree/build.sh" setup > "$work/out.txt" 2>&1; }
log="$work/tree/build/apt.log"

# Everything missing: a line for the update and one for the installation.
setup env
status=$?
lines=$(wc -l < "$work/out.txt")
[ "$status" -eq 0 ] || fail "set-up ended with status $status"
[ "$lines" -eq 2 ] || fail "set-up printed $lines lines, not 2"
grep -q "^Updating the package lists" "$work/out.txt" || fail "no line for the update"
grep -q "^Installing [0-9]* packages: .*cmake.*(log: build/apt.log)" "$work/out.txt" || fail "no line for the installation"
grep -q "apt-get .*update: line 200" "$log" || fail "the update's output is not in $log"
grep -q "apt-get .*install.*: to stderr" "$log" || fail "the installation's errors are not in $log"
for p in lintian desktop-file-utils man-db dpkg-dev xvfb; do
    grep -q "install .*\b$p\b" "$log" || fail "the test packages lack $p"
done
cat "$work/out.txt"

# A failing step: its log is shown, and the set-up fails.
setup env STUB_FAIL_INSTALL=1
status=$?
[ "$status" -ne 0 ] || fail "a failed installation did not fail the set-up"
grep -q "apt-get .*install.*: line 200" "$work/out.txt" || fail "a failed installation did not show its log"
grep -q "failed" "$work/out.txt" || fail "a failed installation is not said"

# Nothing missing: nothing said.
setup env STUB_ALL_INSTALLED=1
status=$?
[ "$status" -eq 0 ] || fail "with everything installed the set-up ended with status $status"
[ -s "$work/out.txt" ] && fail "with everything installed the set-up said: $(cat "$work/out.txt")"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "build.sh set-up: quiet, logged, loud on failure"
