#!/usr/bin/env bash
# The main job: a fresh system root under out/, the demo receipt printed through the real
# driver path into out/receipt.prn, and the emulator's picture and listing of it. A second
# printer "Grey" with greyscale output (setting byte 33) prints examples/greyscale.json into
# out/greyscale.prn / .png: a job script carries no driver settings, the printer data does.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BIN_DIR OUT_DIR" >&2
  exit 2
fi
bin="$1"
out="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
rm -rf "$out/root"
mkdir -p "$out"
kv580=("$bin/kv580" --root "$out/root")
"${kv580[@]}" root init >/dev/null

# The receipt on the package's printer, with the default settings.
"${kv580[@]}" print "$here/examples/receipt.json" --out "$out/receipt.prn"
"${kv580[@]}" emulate "$out/receipt.prn" --png "$out/receipt.png" --json "$out/receipt.json"

# The 44 setting bytes ("MISC"): the defaults with byte 33 (greyscale output) = 1.
misc=00001900190100190019001900190000000000010100000000000000000000000001000a0100000000000000
"${kv580[@]}" printer add Grey >/dev/null
"${kv580[@]}" printer-data Grey set MISC --hex "$misc"
"${kv580[@]}" print "$here/examples/greyscale.json" --printer Grey --out "$out/greyscale.prn"
"${kv580[@]}" emulate "$out/greyscale.prn" --png "$out/greyscale.png" --json "$out/greyscale.json"

echo "command stream: $out/receipt.prn ($(stat -c %s "$out/receipt.prn") bytes)"
echo "picture:        $out/receipt.png"
echo "listing:        $out/receipt.json"
echo "greyscale:      $out/greyscale.prn ($(stat -c %s "$out/greyscale.prn") bytes), $out/greyscale.png"
