#!/usr/bin/env bash
# Sets up the machine, builds both builds and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 >/dev/null

build/win32/wine-prefix start
trap 'build/win32/wine-prefix stop' EXIT
echo "== 32-bit build under Wine: neighbouring frames of the built-in clip =="
build/win32/wine-run build/win32/standin/measure_demo.exe | tr -d '\r'
