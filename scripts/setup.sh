#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then
# configures and builds the given preset (default: dev).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libsqlite3-dev zlib1g-dev libjsoncpp-dev libpugixml-dev
  libcurl4-openssl-dev libxcb1-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk
  xvfb xauth xdotool x11-utils desktop-file-utils openssl python3 zip unzip
  lintian man-db groff-base clang-format
)
if [ "${NORVEX_SETUP_FUZZ:-}" = 1 ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

preset="${1:-dev}"
[ "$preset" = none ] && exit 0
# Clones in other folders (CI's among them) share the compiler cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
