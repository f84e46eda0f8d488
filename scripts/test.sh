#!/usr/bin/env bash
# Sets up the machine, builds both builds and runs every test: the native suite, the
# native suite under AddressSanitizer and UndefinedBehaviorSanitizer and again under
# ThreadSanitizer, and the 32-bit Windows suite (the real plug-ins among it) under Wine,
# on this machine or in the emulated guest where this machine cannot run 32-bit code;
# then the runner's own tests, and the release zip packed and its guide pages opened in
# a headless browser.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

for preset in native native-asan native-tsan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
bash scripts/fuzz.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32
echo "32-bit programs run on the $(bash scripts/win32-runner.sh route) route"
bash scripts/win32-runner.sh ctest --preset win32
bash tests/runner/runner_test.sh

cmake --build --preset win32 --target release
bash tests/release/guides_in_browser.sh "dist/morvith-$(sed -n 's/^project(morvith VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt).zip" \
    build/win32/release-check
