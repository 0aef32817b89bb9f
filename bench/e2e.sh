#!/usr/bin/env bash
# End-to-end timing of `kv580 print`: process start to spool file, for the demo receipt and for
# a 576 x 20000 picture page, and the bytes per page in both raster forms (setting byte 36:
# 1 run-length compressed, the default; 0 plain GS v 0).
#   bench/e2e.sh [BIN_DIR] [RUNS]      (defaults: build/release/bin, 10)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$here/build/release/bin}"
runs="${2:-10}"
[ -x "$bin/kv580" ] || { echo "no kv580 in $bin (run make release)" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
kv580=("$bin/kv580" --root "$work/root")
"${kv580[@]}" root init >/dev/null

# The tall page: a 576 x 20000 grey picture (ramps, waves and bars) written by python3.
python3 - "$work/tall.png" <<'PY'
import math, struct, sys, zlib
w, h = 576, 20000
raw = bytearray()
for y in range(h):
    raw.append(0)
    band = (y // 400) % 3
    for x in range(w):
        if band == 0:
            v = (x * 255) // (w - 1)
        elif band == 1:
            v = int(127.5 + 127.5 * math.sin(x / 17.0) * math.cos(y / 23.0))
        else:
            v = 0 if (x // 48 + y // 48) % 2 else 255
        raw.append(v)
def chunk(t, d):
    return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))
PY
cat >"$work/tall.json" <<'JSON'
{"document": "Tall picture", "paper": {"width": 576, "height": 20000},
 "pages": [{"items": [{"type": "image", "path": "tall.png", "x": 0, "y": 0}]}]}
JSON
cp "$here/examples/receipt.json" "$here/examples/logo.png" "$work/"

# The package's printer is created by the first print on a fresh root; then a second printer
# with plain raster (the defaults with byte 36 = 0).
"${kv580[@]}" print "$work/receipt.json" >/dev/null
"${kv580[@]}" printer add Plain >/dev/null
"${kv580[@]}" printer-data Plain set MISC \
  --hex 00001900190100190019001900190000000000010100000000000000000000000000000a0000000000000000

now_ns() { date +%s%N; }
# time_print LABEL JOB: RUNS runs of kv580 print, min / mean / max wall time in ms.
time_print() {
  local label="$1" job="$2" t0 t1 ms min=0 max=0 sum=0 i
  "${kv580[@]}" print "$job" --out "$work/warm.prn" >/dev/null # warm the page cache
  for ((i = 0; i < runs; i++)); do
    t0=$(now_ns)
    "${kv580[@]}" print "$job" --out "$work/run.prn" >/dev/null
    t1=$(now_ns)
    ms=$(((t1 - t0) / 1000))
    sum=$((sum + ms))
    ((i == 0 || ms < min)) && min=$ms
    ((ms > max)) && max=$ms
  done
  awk -v l="$label" -v n="$runs" -v a="$min" -v s="$sum" -v b="$max" 'BEGIN {
    printf "%-22s %3d runs  min %8.1f ms  mean %8.1f ms  max %8.1f ms\n", l, n, a / 1000, s / n / 1000, b / 1000 }'
}

echo "kv580 print, process start to spool file ($bin/kv580)"
if command -v hyperfine >/dev/null; then
  hyperfine -N -w 1 -r "$runs" \
    "$bin/kv580 --root $work/root print $work/receipt.json --out $work/run.prn" \
    "$bin/kv580 --root $work/root print $work/tall.json --out $work/run.prn"
else
  time_print "receipt.json" "$work/receipt.json"
  time_print "576 x 20000 picture" "$work/tall.json"
fi

echo
echo "bytes per page                compressed (byte 36 = 1)   plain (byte 36 = 0)   ratio"
for job in receipt tall; do
  "${kv580[@]}" print "$work/$job.json" --out "$work/$job.rle.prn" >/dev/null
  "${kv580[@]}" print "$work/$job.json" --printer Plain --out "$work/$job.plain.prn" >/dev/null
  c=$(stat -c %s "$work/$job.rle.prn")
  p=$(stat -c %s "$work/$job.plain.prn")
  awk -v j="$job.json" -v c="$c" -v p="$p" 'BEGIN { printf "%-28s %26d %21d   %.3f\n", j, c, p, c / p }'
done
