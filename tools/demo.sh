#!/usr/bin/env bash
# The main job: a fresh system root under out/, the demo receipt printed through the real
# driver path into out/receipt.prn, and the emulator's picture and listing of it.
set -euo pipefail
bin="$1"
out="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
rm -rf "$out/root"
mkdir -p "$out"
kv580=("$bin/kv580" --root "$out/root")
"${kv580[@]}" root init >/dev/null
"${kv580[@]}" print "$here/examples/receipt.json" --out "$out/receipt.prn"
"${kv580[@]}" emulate "$out/receipt.prn" --png "$out/receipt.png" --json "$out/receipt.json"
echo "command stream: $out/receipt.prn ($(stat -c %s "$out/receipt.prn") bytes)"
echo "picture:        $out/receipt.png"
echo "listing:        $out/receipt.json"
