#!/usr/bin/env bash
# Builds the benchmark payload (about 200 MB, deterministic), packs it with the
# reference packer and with zip -9, and compares in one run:
#   - extraction of every entry (ExtractPackageFile) with unzip -o -q;
#   - GetMD5OfFile with md5sum on a 256 MiB file;
#   - the peak memory of extracting one 18 MiB entry.
# Wall times are the best of NORVEX_BENCH_REPS runs (default 7); the ratios are
# the last lines of the output.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
refpack="$repo/tests/fixtures/refpack.py"
reps="${NORVEX_BENCH_REPS:-7}"

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

# "wall_ms cpu_ms" of a command: wall time and the user + system time it used.
run_timed() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.perf_counter() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(round(wall * 1000), round((usage.ru_utime + usage.ru_stime) * 1000))
PY
}
# "wall_ms cpu_ms" of one benchmark of the program: the wall time Google
# Benchmark measured around the work, and the CPU time of the whole process
# taken the same way as for the other tools. The JSON report is read once the
# program has finished (a reader running beside it would disturb the timing).
gbench_ms() {
  local report="$work/report.json" timed
  timed=$(run_timed "$@" --benchmark_out="$report" --benchmark_out_format=json 2>"$work/report.log") ||
    { cat "$work/report.log" >&2; return 1; }
  python3 - "$report" "${timed##* }" <<'PY'
import json, sys
runs = [x for x in json.load(open(sys.argv[1]))["benchmarks"] if x.get("run_type", "iteration") == "iteration"]
if not runs or runs[0].get("error_occurred"):
    sys.exit("benchmark failed: %s" % (runs[0].get("error_message") if runs else "no result"))
print(round(min(x["real_time"] for x in runs)), sys.argv[2])
PY
}
min_of() { printf '%s\n' "$@" | sort -n | head -1; }
walls() { for p in "$@"; do echo "${p%% *}"; done; }
cpus() { for p in "$@"; do echo "${p##* }"; done; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

payload_mb=$(du -sm "$payload" | cut -f1)
entries=$(find "$payload" -type f | wc -l)
echo "payload: ${payload_mb} MB in ${entries} files; package $(du -m "$package" | cut -f1) MB; zip $(du -m "$archive" | cut -f1) MB"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Every run writes into a folder of its own, all removed at the end: creating
# files just after deleting thousands of others costs ext4 extra work that
# would blur the comparison.
runs="$work/runs"
rm -rf "$runs"
mkdir -p "$runs"
extract_ours() {
  gbench_ms "$bin" --package="$package" --out="$1" --benchmark_filter=BM_ExtractAll
}

# Warm the page cache and check that both extractions give the payload back.
cat "$package" "$archive" "$md5file" >/dev/null
extract_ours "$runs/check-ours" >/dev/null
unzip -o -q "$archive" -d "$runs/check-unzip"
diff -r "$payload" "$runs/check-ours" >/dev/null || { echo "bench: our extraction differs from the payload" >&2; exit 1; }
diff -r "$payload" "$runs/check-unzip" >/dev/null || { echo "bench: unzip output differs from the payload" >&2; exit 1; }

ours_x=() unzip_x=() ours_m=() md5sum_m=()
for ((i = 1; i <= reps; i++)); do
  sync
  unzip_x+=("$(run_timed unzip -o -q "$archive" -d "$runs/unzip-$i")")
  sync
  ours_x+=("$(extract_ours "$runs/ours-$i")")
  md5sum_m+=("$(run_timed md5sum "$md5file")")
  ours_m+=("$(gbench_ms "$bin" --md5-file="$md5file" --benchmark_filter=BM_MD5OfFile)")
done

peak_kib=0
for ((i = 1; i <= 3; i++)); do
  out=$("$bin" --package="$package" --out="$runs/peak-$i" --peak-memory=program.bin)
  kib=$(awk '/^peak_rss_kib/ {print $2}' <<<"$out")
  base_kib=$(awk '/^rss_before_kib/ {print $2}' <<<"$out")
  entry_bytes=$(awk '/^entry_bytes/ {print $2}' <<<"$out")
  [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib
done
rm -rf "$runs"

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "runs, wall ms: extract ours $(walls "${ours_x[@]}" | xargs) | unzip $(walls "${unzip_x[@]}" | xargs)"
echo "runs, wall ms: md5 ours $(walls "${ours_m[@]}" | xargs) | md5sum $(walls "${md5sum_m[@]}" | xargs)"
ox=$(min_of $(walls "${ours_x[@]}")); ux=$(min_of $(walls "${unzip_x[@]}"))
om=$(min_of $(walls "${ours_m[@]}")); mm=$(min_of $(walls "${md5sum_m[@]}"))
oxc=$(min_of $(cpus "${ours_x[@]}")); uxc=$(min_of $(cpus "${unzip_x[@]}"))
omc=$(min_of $(cpus "${ours_m[@]}")); mmc=$(min_of $(cpus "${md5sum_m[@]}"))
echo "extract all ${entries} entries (best of ${reps}): ours ${ox} ms, unzip ${ux} ms; CPU ours ${oxc} ms, unzip ${uxc} ms (ratio $(ratio "$oxc" "$uxc"))"
echo "digest of 256 MiB (best of ${reps}): ours ${om} ms, md5sum ${mm} ms; CPU ours ${omc} ms, md5sum ${mmc} ms (ratio $(ratio "$omc" "$mmc"))"
echo "peak memory extracting program.bin ($((entry_bytes / 1024)) KiB): ${peak_kib} KiB (${base_kib} KiB before the extraction)"
median_ratio() {  # median of ours/theirs over the interleaved pairs
  paste -d' ' <(walls "${!1}") <(walls "${!2}") | awk '{ print $1 / $2 }' | sort -n |
    awk '{ r[NR] = $1 } END { printf "%.2f", (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }'
}
echo "median of the paired run ratios: extract $(median_ratio 'ours_x[@]' 'unzip_x[@]'), md5 $(median_ratio 'ours_m[@]' 'md5sum_m[@]')"
echo "extract ratio ours/unzip: $(ratio "$ox" "$ux") (target <= 1.3)"
echo "md5 ratio ours/md5sum: $(ratio "$om" "$mm") (target <= 1.25)"
echo "peak memory / file size: $(ratio "$((peak_kib * 1024))" "$entry_bytes") (target <= 2.5)"
