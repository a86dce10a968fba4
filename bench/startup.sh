#!/usr/bin/env bash
# Start-up cost of an installer carrying a 15 MB package: the package written
# out of the executable, its digest checked, Install.xml extracted and loaded
# and the previous installation looked up, which is where the wizard would
# open. norvex-startup-probe runs exactly that start-up on the installer file.
# Compared with cp plus md5sum of the same file, the least any installer of
# this kind must do. For reference it also times a whole unattended run whose
# only file entry is not deployed ("nodw"). norvex-wizard-probe runs the
# windowed start up to the wizard's first page painted (on an Xvfb display of
# its own when none is set), against the start-up probe, with its peak memory.
# The two probes run in pairs, each pair in the other order than the last, and
# the ratio is the median of the paired ratios: a machine that drifts faster
# or slower during the runs moves both alike. The display of its own runs
# with -noreset, as a desktop's X server does: with no other client, a server
# otherwise starts over (and compiles its keymap) after every run, while the
# next run starts.
#   bench/startup.sh            (builds the bench preset's targets it needs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/bench
[ -f "$build/CMakeCache.txt" ] || { bash scripts/setup.sh none; cmake --preset bench >/dev/null; }
cmake --build "$build" --target norvex-startup-probe norvex-wizard-probe norvexsetup norvex-pack -j2 >/dev/null
setup=$build/src/wizard/norvexsetup
pack=$build/tools/pack/norvex-pack
probe=$build/bench/startup/norvex-startup-probe
wizard_probe=$build/bench/wizard/norvex-wizard-probe

work=$(mktemp -d "${TMPDIR:-/tmp}/norvex-bench.XXXXXX")
xvfb_pid=
trap 'rm -rf "$work"; [ -z "$xvfb_pid" ] || kill "$xvfb_pid"' EXIT
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:97
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
mkdir -p "$work/src"
head -c $((15 * 1024 * 1024)) /dev/urandom > "$work/src/payload.bin"
cat > "$work/Install.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<install>
	<version prog="Start-up Bench" clsid="00000000-0000-0000-0000-000000000001" ver="1.0"/>
	<info><prog>StartupBench</prog><value>0</value><company>Tessaly</company><help></help><url></url><autostart>0</autostart></info>
	<files>
		<file name="payload.bin" path="$intallpath$\" pack="payload.bin" ver="1.0" action="nodw"/>
	</files>
	<registry/>
	<shortcut/>
</install>
XML
"$pack" build --manifest "$work/Install.xml" --source "$work/src" -o "$work/bench.cab" 2>/dev/null
"$pack" attach --template "$setup" --package "$work/bench.cab" -o "$work/BenchSetup"
size=$(stat -c %s "$work/BenchSetup")

runs=41
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Each run in a fresh sandbox root, as on a machine seeing the product first.
# Runs each command given (separated by "--") once per round, in the other
# order every second round, and prints, per command, two medians in
# microseconds: from the launch to the moment the program says it reached its
# point ("reached NS", its CLOCK_MONOTONIC, on its output; the end of the
# process when it says none), and to the end of the process. The first leaves
# out what comes after the point, such as a window's teardown, which nobody
# waits for. With two commands, a last line gives the median of the second's
# point time over the first's, round by round.
time_runs() {
  python3 - "$work" "$runs" "$@" <<'PY'
import os, re, shutil, subprocess, sys, time
work, runs, words = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
commands, current = [], []
for word in words + ["--"]:
    if word == "--":
        commands.append(current)
        current = []
    else:
        current.append(word)
reached = [[] for _ in commands]
whole = [[] for _ in commands]
count = 0
for i in range(runs):
    for c in (range(len(commands)) if i % 2 == 0 else reversed(range(len(commands)))):
        count += 1
        root = os.path.join(work, "root-%d" % count)
        os.makedirs(root)
        start = time.monotonic_ns()
        run = subprocess.run(commands[c], env=dict(os.environ, NORVEX_ROOT=root), stdout=subprocess.PIPE)
        end = time.monotonic_ns()
        if run.returncode != 0:
            sys.exit("startup: %s failed" % commands[c][0])
        point = re.search(rb"^reached (\d+)$", run.stdout, re.M)
        reached[c].append(((int(point.group(1)) if point else end) - start) // 1000)
        whole[c].append((end - start) // 1000)
        shutil.rmtree(root)
median = lambda values: sorted(values)[len(values) // 2]
for c in range(len(commands)):
    print(median(reached[c]), median(whole[c]))
if len(commands) == 2:
    print("%.2f" % median([b / a for a, b in zip(reached[0], reached[1])]))
PY
}
{
  read -r startup startup_whole
  read -r first_page first_page_whole
  read -r first_page_ratio
} < <(time_runs "$probe" "$work/BenchSetup" -- "$wizard_probe" "$work/BenchSetup") || exit 1
[ -n "$first_page_ratio" ] || exit 1
read -r unattended _ < <(time_runs "$work/BenchSetup" -silent) || exit 1
peak=$(NORVEX_ROOT="$work/root-peak" "$wizard_probe" "$work/BenchSetup" | sed -n 's/.*peak memory \([0-9]*\) KiB.*/\1/p')
[ -n "$peak" ] || { echo "startup: the wizard probe gave no peak memory" >&2; exit 1; }

baseline_times=()
for i in $(seq "$runs"); do
  t0=$(now)
  cp "$work/BenchSetup" "$work/copy"
  md5sum "$work/copy" >/dev/null
  t1=$(now)
  baseline_times+=($(( (t1 - t0) / 1000 )))
  rm -f "$work/copy"
done

base=$(printf '%s\n' "${baseline_times[@]}" | median)
ms() { echo "$(($1 / 1000)).$(printf '%03d' $(($1 % 1000))) ms"; }
echo "installer size: $size bytes, median of $runs runs"
echo "start-up up to the wizard:                 $(ms "$startup") (whole process $(ms "$startup_whole"))"
echo "whole unattended run (payload not deployed): $(ms "$unattended")"
echo "cp + md5sum of the installer:              $(ms "$base")"
echo "start-up up to the first page painted:     $(ms "$first_page") (whole process $(ms "$first_page_whole"), peak memory ${peak} KiB)"
# Whole processes against whole processes, and point against point.
awk -v a="$startup_whole" -v b="$base" 'BEGIN { printf "ratio start-up / (cp + md5sum): %.2f (target <= 1.5)\n", a / b }'
echo "ratio first page / start-up: $first_page_ratio (target <= 1.3; median of paired runs)"
