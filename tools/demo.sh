#!/usr/bin/env bash
# The main job: a fresh system root under out/, then the package's command line on it.
set -euo pipefail
bin="$1"
out="$2"
rm -rf "$out/root"
mkdir -p "$out"
"$bin/kv580" --root "$out/root" root init
