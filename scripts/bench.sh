#!/usr/bin/env bash
# Builds the benchmark payload (about 205 MB, deterministic: 100 MiB of text,
# 50 MiB of random bytes, 2,000 files of 1-50 KiB), packs it with norvex-pack,
# with the reference packer and with zip -9, and compares in one run, pair by
# pair:
#   - a fresh unattended install (the real installer, -silent FOLDER, in a
#     NORVEX_ROOT sandbox) with unzip -q into an empty folder;
#   - an unattended repair over the installed files with unzip -o -q over the
#     extracted files;
#   - extraction of every entry (ExtractPackageFile) of the reference packer's
#     package with unzip -q into an empty folder;
#   - norvex-pack build with zip -9 -r, and the sizes of what they make;
#   - GetMD5OfFile with md5sum on a 256 MiB file;
#   - the peak memory of the install and of extracting the largest entry;
#   - the start-up of an installer with a 15 MB package (bench/startup.sh).
# NORVEX_BENCH_REPS pairs of each (default 5). The ratios are medians of the
# paired wall-time ratios; they are the last lines of the output, after the
# load average before and after the runs.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
refpack="$repo/tests/fixtures/refpack.py"
reps="${NORVEX_BENCH_REPS:-5}"

bash scripts/setup.sh bench
build="$repo/build/bench"
bin="$build/bench/extract/bench_extract"
pack="$build/tools/pack/norvex-pack"
setup="$build/src/wizard/norvexsetup"

work="$repo/bench/work"
payload="$work/payload"
refpackage="$work/payload-ref.cab"
archive="$work/payload.zip"
md5file="$work/digest-256M.bin"
mkdir -p "$work"

# The payload is rebuilt only when its recipe changed.
stamp="$(cat bench/extract/make_payload.py "$refpack" | md5sum | cut -d' ' -f1)"
if [ "$(cat "$work/stamp" 2>/dev/null)" != "$stamp" ] || [ ! -f "$refpackage" ] || [ ! -f "$archive" ]; then
  echo "bench: building the payload in $work" >&2
  rm -rf "$payload" "$refpackage" "$archive" "$md5file" "$work/stamp" "$work"/*.cab
  python3 bench/extract/make_payload.py "$payload" "$md5file"
  TZ=UTC python3 "$refpack" "$payload/Install.xml" "$payload" "$refpackage" \
    --time "Install.xml=2024-01-01 00:00:00" >/dev/null
  (cd "$payload" && zip -9 -q -r -X "$archive" .)
  echo "$stamp" >"$work/stamp"
fi

# "wall_ms cpu_ms peak_kib" of a command: wall time, the user + system time it
# used and its peak resident set.
run_timed() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.perf_counter() - start
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(round(wall * 1000), round((usage.ru_utime + usage.ru_stime) * 1000), usage.ru_maxrss)
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
  python3 - "$report" "$timed" <<'PY'
import json, sys
runs = [x for x in json.load(open(sys.argv[1]))["benchmarks"] if x.get("run_type", "iteration") == "iteration"]
if not runs or runs[0].get("error_occurred"):
    sys.exit("benchmark failed: %s" % (runs[0].get("error_message") if runs else "no result"))
print(round(min(x["real_time"] for x in runs)), sys.argv[2].split()[1])
PY
}
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
field() { local n=$1; shift; for p in "$@"; do echo "$p" | cut -d' ' -f"$n"; done; }
walls() { field 1 "$@"; }
cpus() { field 2 "$@"; }
median() { sort -n | awk '{ r[NR] = $1 } END { printf "%.2f", (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }'; }
# Median over the runs of ours/theirs, by wall time (column 1) or CPU time (2).
paired() {  # column, ours[@], theirs[@]
  paste -d' ' <(field "$1" "${!2}") <(field "$1" "${!3}") | awk '{ print $1 / $2 }' | median
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ms_list() { walls "$@" | xargs; }

payload_mb=$(du -sm "$payload" | cut -f1)
entries=$(find "$payload" -type f | wc -l)
largest=$(find "$payload" -type f -printf '%s %p\n' | sort -n | tail -1)
largest_bytes=${largest%% *}
largest_name=$(basename "${largest#* }")
load_before=$(loadavg)
echo "payload: ${payload_mb} MB in ${entries} files; reference package $(du -m "$refpackage" | cut -f1) MB; zip $(du -m "$archive" | cut -f1) MB"
echo "load average before: $load_before"

# Every run writes into a folder of its own, all removed at the end: creating
# files just after deleting thousands of others costs ext4 extra work that
# would blur the comparison.
runs="$work/runs"
rm -rf "$runs"
mkdir -p "$runs"
extract_ours() {
  gbench_ms "$bin" --package="$refpackage" --out="$1" --benchmark_filter=BM_ExtractAll
}
pack_ours() {
  run_timed "$pack" build --manifest "$payload/Install.xml" --source "$payload" -o "$1" 2>/dev/null
}
pack_zip() {
  (cd "$payload" && run_timed zip -9 -q -r -X "$1" .)
}
install_ours() {  # sandbox root; the first run installs, the next one repairs
  NORVEX_ROOT="$1" run_timed "$installer" -silent "$1/inst"
}

# The installer: the template with the norvex-pack package attached.
pack_ours "$runs/check.cab" >/dev/null
installer="$runs/BenchSetup"
"$pack" attach --template "$setup" --package "$runs/check.cab" -o "$installer"

# Warm the page cache and check that every way gives the payload back.
cat "$refpackage" "$archive" "$md5file" "$installer" >/dev/null
extract_ours "$runs/check-ours" >/dev/null
unzip -o -q "$archive" -d "$runs/check-unzip"
mkdir -p "$runs/check-root"
install_ours "$runs/check-root" >/dev/null
diff -r "$payload" "$runs/check-ours" >/dev/null || { echo "bench: our extraction differs from the payload" >&2; exit 1; }
diff -r "$payload" "$runs/check-unzip" >/dev/null || { echo "bench: unzip output differs from the payload" >&2; exit 1; }
diff -r -x Install.xml -x uninstall.xml "$payload" "$runs/check-root/inst" >/dev/null ||
  { echo "bench: the installed files differ from the payload" >&2; exit 1; }
rm -rf "$runs"/check-*

inst=() inst_u=() rep=() rep_u=() ext=() ext_u=() pk=() pk_z=() md=() md_s=()
# Which of a pair goes first alternates from run to run: on a machine whose
# state drifts (page cache growing, memory the host hands back late) a fixed
# order would charge the drift to one side.
pair() {  # i, ours array, ours command..., --, theirs array, theirs command...
  local i=$1 ours_var=$2; shift 2
  local ours=() theirs=()
  while [ "$1" != -- ]; do ours+=("$1"); shift; done
  shift
  local theirs_var=$1; shift
  theirs=("$@")
  local a b
  if ((i % 2)); then
    sync; b=$("${theirs[@]}"); sync; a=$("${ours[@]}")
  else
    sync; a=$("${ours[@]}"); sync; b=$("${theirs[@]}")
  fi
  eval "$ours_var+=(\"\$a\")"; eval "$theirs_var+=(\"\$b\")"
}
for ((i = 1; i <= reps; i++)); do
  mkdir -p "$runs/root-$i"
  pair "$i" inst install_ours "$runs/root-$i" -- inst_u run_timed unzip -q "$archive" -d "$runs/unzip-$i"
  pair "$i" rep install_ours "$runs/root-$i" -- rep_u run_timed unzip -o -q "$archive" -d "$runs/unzip-$i"
  pair "$i" ext extract_ours "$runs/ours-$i" -- ext_u run_timed unzip -q "$archive" -d "$runs/unzip-x-$i"
  pair "$i" pk pack_ours "$runs/pack-$i.cab" -- pk_z pack_zip "$runs/pack-$i.zip"
  pair "$i" md gbench_ms "$bin" --md5-file="$md5file" --benchmark_filter=BM_MD5OfFile -- md_s run_timed md5sum "$md5file"
  # Sizes of what both packers made, then nothing of this run is needed.
  pack_bytes=$(stat -c %s "$runs/pack-$i.cab"); zip_bytes=$(stat -c %s "$runs/pack-$i.zip")
  rm -f "$runs/pack-$i.cab" "$runs/pack-$i.zip"
done

# Peak memory: the whole install, and extracting only the largest entry.
install_peak=0
for p in "${inst[@]}" "${rep[@]}"; do
  kib=$(echo "$p" | cut -d' ' -f3); [ "$kib" -gt "$install_peak" ] && install_peak=$kib
done
entry_peak=0
for ((i = 1; i <= 3; i++)); do
  out=$("$bin" --package="$refpackage" --out="$runs/peak-$i" --peak-memory="$largest_name")
  kib=$(awk '/^peak_rss_kib/ {print $2}' <<<"$out")
  [ "$kib" -gt "$entry_peak" ] && entry_peak=$kib
done
rm -rf "$runs"
# Start-up of an installer carrying a 15 MB package, up to the wizard and up to
# its first page painted.
startup_out=$(bash bench/startup.sh)
load_after=$(loadavg)

echo "runs, wall ms: install $(ms_list "${inst[@]}") | unzip $(ms_list "${inst_u[@]}")"
echo "runs, wall ms: repair $(ms_list "${rep[@]}") | unzip -o $(ms_list "${rep_u[@]}")"
echo "runs, wall ms: extract all $(ms_list "${ext[@]}") | unzip $(ms_list "${ext_u[@]}")"
echo "runs, wall ms: norvex-pack build $(ms_list "${pk[@]}") | zip -9 -r $(ms_list "${pk_z[@]}")"
echo "runs, wall ms: md5 ours $(ms_list "${md[@]}") | md5sum $(ms_list "${md_s[@]}")"
echo "CPU ratios (median): install $(paired 2 'inst[@]' 'inst_u[@]'), repair $(paired 2 'rep[@]' 'rep_u[@]'), extract $(paired 2 'ext[@]' 'ext_u[@]'), pack $(paired 2 'pk[@]' 'pk_z[@]'), md5 $(paired 2 'md[@]' 'md_s[@]')"
echo "sizes: norvex-pack $pack_bytes bytes, zip -9 $zip_bytes bytes; largest file $largest_name $largest_bytes bytes"
echo "peak memory: install ${install_peak} KiB, extracting $largest_name ${entry_peak} KiB"
grep -v '^ratio' <<<"$startup_out"
echo "load average before: $load_before; after: $load_after"
echo "install ratio ours/unzip: $(paired 1 'inst[@]' 'inst_u[@]') (target <= 1.0)"
echo "repair ratio ours/unzip -o: $(paired 1 'rep[@]' 'rep_u[@]') (target <= 1.2)"
echo "extract ratio ExtractPackageFile/unzip: $(paired 1 'ext[@]' 'ext_u[@]') (target <= 0.9)"
echo "pack ratio norvex-pack/zip -9: $(paired 1 'pk[@]' 'pk_z[@]') (target <= 1.0)"
echo "package size ratio norvex-pack/zip -9: $(awk -v a="$pack_bytes" -v b="$zip_bytes" 'BEGIN { printf "%.3f", a / b }') (target <= 1.0)"
echo "md5 ratio ours/md5sum: $(paired 1 'md[@]' 'md_s[@]') (target <= 1.25)"
grep '^ratio' <<<"$startup_out"
echo "peak memory / largest file: install $(ratio "$((install_peak * 1024))" "$largest_bytes"), one entry $(ratio "$((entry_peak * 1024))" "$largest_bytes") (target <= 2.5)"
