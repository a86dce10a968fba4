#!/usr/bin/env bash
# The main job: build everything in release mode and list what was built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh release
echo "Built:"
find build/release -maxdepth 3 -type f -perm -u+x \( -name 'norvex*' \) -printf '  %p\n' | sort
find build/release -name 'libnorvex_*.a' -printf '  %p\n' | sort
