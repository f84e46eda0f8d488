#!/usr/bin/env bash
# Keeps the emulated route alive where this machine runs 32-bit code natively: the
# runner's own tests, the whole win32 suite (MORVITH_GUEST_SMOKE_TESTS, a ctest regular
# expression, narrows it) and the main job, all through the emulated guest. Expects the
# win32 build that scripts/test.sh leaves.
set -euo pipefail
cd "$(dirname "$0")/.."
export MORVITH_WIN32_RUNNER=emulated

bash scripts/setup.sh
bash scripts/win32-runner.sh guest
bash tests/runner/runner_test.sh
bash scripts/win32-runner.sh ctest --preset win32 -R "${MORVITH_GUEST_SMOKE_TESTS:-.}"
bash scripts/run.sh
