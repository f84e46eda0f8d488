#!/usr/bin/env bash
# Sets up the machine, builds both builds and runs every test: the native suite, the
# native suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the 32-bit
# Windows suite (the real plug-ins among it) under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

for preset in native native-asan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
bash scripts/fuzz.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32
build/win32/wine-prefix start
trap 'build/win32/wine-prefix stop' EXIT
ctest --preset win32
