#!/usr/bin/env bash
# Renders every page of every run mode of the sample product's wizard in
# Simplified Chinese, Traditional Chinese and English on a real X server
# (Xvfb) with the installed fonts, into docs/screenshots/*.png.
#   bash scripts/screenshots.sh [PRESET]   (default: dev; the preset must be configured)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
cmake --build --preset "$preset" --target norvex-wizard-screenshots >/dev/null
tool=build/$preset/tools/screenshots/norvex-wizard-screenshots

# The pages look up the sample product's earlier installation: keep that in
# a scratch root, never in the real home.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p docs/screenshots
rm -f docs/screenshots/*.png
NORVEX_ROOT=$root xvfb-run -a -s "-screen 0 1280x1024x24" \
  env -u QT_QPA_PLATFORM "$tool" docs/screenshots examples/Install.xml
