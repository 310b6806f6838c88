#!/bin/sh
# Renders sample lines in both fonts and prints what OCR reads back.
# Usage: check_readability.sh BUILD_DIR   (needs tesseract-ocr)
set -eu
if ! command -v tesseract > /dev/null; then
  echo "SKIPPED: tesseract is missing (apt-get install tesseract-ocr)"
  exit 77
fi
misread=0
tool="$1/tools/fonts/make_font"
assets="$(cd "$(dirname "$0")/../.." && pwd)/assets"
out="$(mktemp -d)"
check() {  # font text scale
  "$tool" --preview "$assets/$1.font" "$out/line.png" "$2" "$3"
  read_back="$(tesseract "$out/line.png" - --psm 7 2>/dev/null)"
  status=ok; [ "$read_back" = "$2" ] || { status=MISREAD; misread=$((misread + 1)); }
  printf '%-8s %-4s x%s want [%s] read [%s]\n' "$1" "$status" "$3" "$2" "$read_back"
}
for scale in 1 2; do
  check title "QUILLOX PRESENTS" $scale
  check title "NYRA 1" $scale
  check scroller "GREETINGS TO ALL DEMO CODERS 2026" $scale
  check scroller "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG" $scale
  check title "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG" $scale
  check scroller "0123456789 HELLO WORLD!" $scale
  check title "0123456789 HELLO WORLD!" $scale
done
rm -r "$out"
exit $((misread > 0))
