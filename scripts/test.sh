#!/usr/bin/env bash
# Builds the dev and the sanitizer presets and runs every test under both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh dev
ctest --preset dev
bash scripts/setup.sh asan
ctest --preset asan
