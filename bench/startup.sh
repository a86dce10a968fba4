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
  Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
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

runs=11
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Each run in a fresh sandbox root, as on a machine seeing the product first.
time_runs() {
  local times=() i t0 t1 root
  for i in $(seq "$runs"); do
    root="$work/root-$i"
    mkdir -p "$root"
    t0=$(now)
    NORVEX_ROOT="$root" "$@" >/dev/null || { echo "startup: $1 failed" >&2; return 1; }
    t1=$(now)
    times+=($(( (t1 - t0) / 1000 )))
    rm -rf "$root"
  done
  printf '%s\n' "${times[@]}" | median
}
startup=$(time_runs "$probe" "$work/BenchSetup") || exit 1
unattended=$(time_runs "$work/BenchSetup" -silent) || exit 1
first_page=$(time_runs "$wizard_probe" "$work/BenchSetup") || exit 1
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
echo "start-up up to the wizard:                 $(ms "$startup")"
echo "whole unattended run (payload not deployed): $(ms "$unattended")"
echo "cp + md5sum of the installer:              $(ms "$base")"
echo "start-up up to the first page painted:     $(ms "$first_page") (peak memory ${peak} KiB)"
awk -v a="$startup" -v b="$base" 'BEGIN { printf "ratio start-up / (cp + md5sum): %.2f (target <= 1.5)\n", a / b }'
awk -v a="$first_page" -v b="$startup" 'BEGIN { printf "ratio first page / start-up: %.2f (target <= 1.3)\n", a / b }'
