#!/usr/bin/env bash
# Builds the dev preset and runs every test, then builds the same suite with
# the address and undefined-behaviour sanitizers and runs it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh dev
ctest --preset dev
bash scripts/setup.sh asan
ctest --preset asan
