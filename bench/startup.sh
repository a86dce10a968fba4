#!/usr/bin/env bash
# Start-up cost of an installer carrying a 15 MB package: the package written
# out of the executable, its digest checked and the manifest loaded, which is
# where the wizard would open. Measured as an unattended run whose only file
# entry is not deployed ("nodw"), so what remains after start-up is a few
# registry values and uninstall.xml. Compared with cp plus md5sum of the same
# 15 MB, the least any installer of this kind must do.
#   bench/startup.sh [BUILD_DIR]   (default build/release, built when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -x "$build/src/app/norvexsetup" ] && [ ! -x "$build/norvexsetup" ]; then
  bash scripts/setup.sh release
fi
cmake --build "$build" --target norvexsetup norvex-pack -j2 >/dev/null
setup=$(find "$build" -maxdepth 3 -type f -name norvexsetup -perm -u+x | head -n1)
pack=$(find "$build" -maxdepth 3 -type f -name norvex-pack -perm -u+x | head -n1)

work=$(mktemp -d "${TMPDIR:-/tmp}/norvex-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
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

installer_times=()
for i in $(seq "$runs"); do
  root="$work/root-$i"
  mkdir -p "$root"
  t0=$(now)
  NORVEX_ROOT="$root" "$work/BenchSetup" -silent >/dev/null
  t1=$(now)
  installer_times+=($(( (t1 - t0) / 1000 )))
  rm -rf "$root"
done

baseline_times=()
for i in $(seq "$runs"); do
  t0=$(now)
  cp "$work/BenchSetup" "$work/copy"
  md5sum "$work/copy" >/dev/null
  t1=$(now)
  baseline_times+=($(( (t1 - t0) / 1000 )))
  rm -f "$work/copy"
done

ours=$(printf '%s\n' "${installer_times[@]}" | median)
base=$(printf '%s\n' "${baseline_times[@]}" | median)
echo "installer size: $size bytes, median of $runs runs"
echo "start-up (unattended run, payload not deployed): $((ours / 1000)).$(printf '%03d' $((ours % 1000))) ms"
echo "cp + md5sum of the installer:                    $((base / 1000)).$(printf '%03d' $((base % 1000))) ms"
awk -v a="$ours" -v b="$base" 'BEGIN { printf "ratio start-up / (cp + md5sum): %.2f (target <= 2)\n", a / b }'
