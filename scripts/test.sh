#!/usr/bin/env bash
# Builds the dev preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh dev
ctest --preset dev
