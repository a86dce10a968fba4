#!/usr/bin/env bash
# Builds the benchmark payload (about 200 MB, deterministic), packs it with the
# reference packer and with zip -9, and compares in one run:
#   - extraction of every entry (ExtractPackageFile) with unzip -o -q;
#   - GetMD5OfFile with md5sum on a 256 MiB file;
#   - the peak memory of extracting one 18 MiB entry.
# Wall times are the best of NORVEX_BENCH_REPS runs (default 5); the ratios are
# the last lines of the output.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
refpack="$(cd "$(dirname "$0")/../../shared/fixtures" && pwd)/refpack.py"
reps="${NORVEX_BENCH_REPS:-5}"

bash scripts/setup.sh bench
bin="$repo/build/bench/bench/extract/bench_extract"

work="$repo/bench/work"
payload="$work/payload"
package="$work/payload.cab"
archive="$work/payload.zip"
md5file="$work/digest-256M.bin"
mkdir -p "$work"

# The payload is rebuilt only when its recipe changed.
stamp="$(cat bench/extract/make_payload.py "$refpack" | md5sum | cut -d' ' -f1)"
if [ "$(cat "$work/stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$package" ] || [ ! -f "$archive" ]; then
  echo "bench: building the payload in $work" >&2
  rm -rf "$payload" "$package" "$archive" "$md5file" "$work/stamp"
  python3 bench/extract/make_payload.py "$payload" "$md5file"
  TZ=UTC python3 "$refpack" "$payload/Install.xml" "$payload" "$package" \
    --time "Install.xml=2024-01-01 00:00:00" >/dev/null
  (cd "$payload" && zip -9 -q -r -X "$archive" .)
  echo "$stamp" >"$work/stamp"
fi

now_ns() { date +%s%N; }
# Milliseconds of a command's wall time.
time_ms() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null
  end=$(now_ns)
  echo $(((end - start) / 1000000))
}
# The real time in ms of the single benchmark in Google Benchmark's JSON output.
gbench_ms() {
  python3 -c 'import json,sys
d=json.load(sys.stdin)
b=[x for x in d["benchmarks"] if x.get("run_type","iteration")=="iteration"]
if not b or b[0].get("error_occurred"): sys.exit("benchmark failed: %s" % (b[0].get("error_message") if b else "no result"))
print(round(min(x["real_time"] for x in b)))'
}
min_of() { printf '%s\n' "$@" | sort -n | head -1; }
clean_out() { rm -rf "$work/out-ours" "$work/out-unzip"; sync; }

payload_mb=$(du -sm "$payload" | cut -f1)
entries=$(find "$payload" -type f | wc -l)
echo "payload: ${payload_mb} MB in ${entries} files; package $(du -m "$package" | cut -f1) MB; zip $(du -m "$archive" | cut -f1) MB"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Warm the page cache and check that both extractions give the payload back.
cat "$package" "$archive" "$md5file" >/dev/null
clean_out
NORVEX_BENCH_PACKAGE="$package" NORVEX_BENCH_OUT="$work/out-ours" \
  "$bin" --benchmark_filter=BM_ExtractAll --benchmark_format=json | gbench_ms >/dev/null
unzip -o -q "$archive" -d "$work/out-unzip"
diff -r "$payload" "$work/out-ours" >/dev/null || { echo "bench: our extraction differs from the payload" >&2; exit 1; }
diff -r "$payload" "$work/out-unzip" >/dev/null || { echo "bench: unzip output differs from the payload" >&2; exit 1; }

ours_x=() unzip_x=() ours_m=() md5sum_m=()
for ((i = 1; i <= reps; i++)); do
  clean_out
  unzip_x+=("$(time_ms unzip -o -q "$archive" -d "$work/out-unzip")")
  clean_out
  ours_x+=("$(NORVEX_BENCH_PACKAGE="$package" NORVEX_BENCH_OUT="$work/out-ours" \
    "$bin" --benchmark_filter=BM_ExtractAll --benchmark_format=json | gbench_ms)")
  md5sum_m+=("$(time_ms md5sum "$md5file")")
  ours_m+=("$(NORVEX_BENCH_MD5_FILE="$md5file" \
    "$bin" --benchmark_filter=BM_MD5OfFile --benchmark_format=json | gbench_ms)")
done
clean_out

peak_kib=0
for ((i = 1; i <= 3; i++)); do
  out=$("$bin" --package="$package" --out="$work/out-ours" --peak-memory=program.bin)
  kib=$(awk '/^peak_rss_kib/ {print $2}' <<<"$out")
  base_kib=$(awk '/^rss_before_kib/ {print $2}' <<<"$out")
  entry_bytes=$(awk '/^entry_bytes/ {print $2}' <<<"$out")
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib
done
clean_out

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "runs (ms): extract ours ${ours_x[*]} | unzip ${unzip_x[*]} | md5 ours ${ours_m[*]} | md5sum ${md5sum_m[*]}"
ox=$(min_of "${ours_x[@]}"); ux=$(min_of "${unzip_x[@]}")
om=$(min_of "${ours_m[@]}"); mm=$(min_of "${md5sum_m[@]}")
echo "extract all ${entries} entries: ours ${ox} ms, unzip ${ux} ms"
echo "digest of 256 MiB: ours ${om} ms, md5sum ${mm} ms"
echo "peak memory extracting program.bin ($((entry_bytes / 1024)) KiB): ${peak_kib} KiB (${base_kib} KiB before the extraction)"
awk -v o="$ox" -v u="$ux" 'BEGIN { printf "extract ratio ours/unzip: %.2f (target <= 1.3)\n", o / u }'
awk -v o="$om" -v m="$mm" 'BEGIN { printf "md5 ratio ours/md5sum: %.2f (target <= 1.25)\n", o / m }'
awk -v p="$peak_kib" -v s="$entry_bytes" 'BEGIN { printf "peak memory / file size: %.2f (target <= 2.5)\n", p * 1024 / s }'
