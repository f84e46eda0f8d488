#!/usr/bin/env bash
# Builds the core benchmark natively and for 32-bit Windows (if needed), runs it natively
# and under Wine, and prints both tables as markdown on stdout.
#   scripts/bench.sh [repetitions]
# The build directories default to the presets' own; MORVITH_NATIVE_BUILD and
# MORVITH_WIN32_BUILD choose others.
set -euo pipefail
cd "$(dirname "$0")/.."

reps="${1:-21}"
native_dir="${MORVITH_NATIVE_BUILD:-build/native}"
win32_dir="${MORVITH_WIN32_BUILD:-build/win32}"

[ -f "$native_dir/CMakeCache.txt" ] || cmake --preset native -B "$native_dir" >/dev/null
cmake --build "$native_dir" --target core_bench -j2 >/dev/null

echo "Median of $reps runs per cell; each ratio is to the plain read of the same pictures"
echo "with the same threading, timed round-robin in the same run."
echo
echo "### Native ($(uname -m), $(nproc) hardware threads)"
echo
"$native_dir/bench/core_bench" --reps "$reps"
echo

# Under software emulation the SIMD kernels run many times slower than the read they
# are compared with: such figures would mislead.
if [ "$(bash scripts/win32-runner.sh route)" != native ]; then
    echo "(32-bit timings need a machine that runs 32-bit code natively; this one does not, so none are printed.)"
    exit 0
fi
[ -f "$win32_dir/CMakeCache.txt" ] || cmake --preset win32 -B "$win32_dir" >/dev/null
cmake --build "$win32_dir" --target core_bench module_bench -j2 >/dev/null
"$win32_dir/wine-prefix" start
trap '"$win32_dir/wine-prefix" stop' EXIT
echo "### 32-bit build under Wine"
echo
"$win32_dir/wine-run" "$win32_dir/bench/core_bench.exe" --reps "$reps" | tr -d '\r'
echo
echo "### The real modules in the stand-in host, 32-bit build under Wine"
echo
# The shipped modules, then the benchmark-only ones pinned at each path below AVX2.
capped=()
for path in scalar sse2 avx; do
    capped+=(--path "$path" "$win32_dir/morvith/morvith_$path.auf" "$win32_dir/morvith_ex/morvith_ex_$path.auf")
done
"$win32_dir/wine-run" "$win32_dir/bench/module_bench.exe" "$win32_dir/morvith/morvith.auf" \
    "$win32_dir/morvith_ex/morvith_ex.auf" --reps "$reps" "${capped[@]}" | tr -d '\r'
