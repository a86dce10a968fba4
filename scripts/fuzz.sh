#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds:
#   scripts/fuzz.sh TARGET SECONDS [extra libFuzzer options...]
# TARGET is a fuzz target such as fuzz_package; its seeds are in
# fuzz/<TARGET without "fuzz_">/seeds (override with FUZZ_SEEDS=folder).
# The corpus grows in build/fuzz/corpus/TARGET and crashes land in
# build/fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2

NORVEX_SETUP_FUZZ=1 bash scripts/setup.sh none
cmake --preset fuzz >/dev/null
cmake --build build/fuzz --target "$target" -j2

binary=$(find build/fuzz -type f -name "$target" -perm -u+x | head -n 1)
if [ -z "$binary" ]; then
  echo "fuzz: no binary for $target" >&2
  exit 1
fi

seeds=${FUZZ_SEEDS:-fuzz/${target#fuzz_}/seeds}
corpus=build/fuzz/corpus/$target
artifacts=build/fuzz/artifacts/$target
mkdir -p "$corpus" "$artifacts"
if [ -d "$seeds" ]; then
  cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
fi

# Seeds can be larger than libFuzzer's default input size; let inputs grow to
# the largest seed.
max_len=4096
for f in "$corpus"/*; do
  [ -f "$f" ] || continue
  size=$(stat -c %s "$f")
  [ "$size" -gt "$max_len" ] && max_len=$size
done

exec "$binary" "$corpus" -max_total_time="$seconds" -max_len="$max_len" \
  -artifact_prefix="$artifacts/" -print_final_stats=1 "$@"
