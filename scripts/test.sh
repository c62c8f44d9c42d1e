#!/usr/bin/env bash
# Builds Vantelo and runs every test (installing what is missing). The optional
# argument names the CMake preset: dev (default) or asan.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
bash scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
exec ctest --preset "$preset"
