#!/usr/bin/env bash
# Builds the benchmarks natively and for 32-bit Windows, runs them (the 32-bit ones under
# Wine, only where this machine runs 32-bit code natively) and writes docs/speed.md: one
# table per build from this one machine, with its date, processor and commit.
#   scripts/bench.sh [repetitions]
# MORVITH_SPEED_FILE writes elsewhere; MORVITH_NATIVE_BUILD and MORVITH_WIN32_BUILD choose
# other build directories than the presets' own.
set -euo pipefail
cd "$(dirname "$0")/.."

reps="${1:-21}"
native_dir="${MORVITH_NATIVE_BUILD:-build/native}"
win32_dir="${MORVITH_WIN32_BUILD:-build/win32}"
out="${MORVITH_SPEED_FILE:-docs/speed.md}"
route="$(bash scripts/win32-runner.sh route)"

[ -f "$native_dir/CMakeCache.txt" ] || cmake --preset native -B "$native_dir" >/dev/null
cmake --build "$native_dir" --target core_bench -j2 >/dev/null
if [ "$route" = native ]; then
    [ -f "$win32_dir/CMakeCache.txt" ] || cmake --preset win32 -B "$win32_dir" >/dev/null
    cmake --build "$win32_dir" --target core_bench module_bench -j2 >/dev/null
fi

processor="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
extensions="$(grep -o -w -m1 'avx512f\|avx2\|avx\|sse4_1\|sse2' /proc/cpuinfo | sort -u | tr '\n' ' ' || true)"
commit="$(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
git diff --quiet HEAD 2>/dev/null || commit="$commit with uncommitted changes"
system="$(. /etc/os-release && echo "$PRETTY_NAME")"

tmp="$(mktemp)"
trap 'rm -f "$tmp"' EXIT
{
    echo "# Speed"
    echo
    echo "Made by \`bash scripts/bench.sh $reps\` on $(date -u +%Y-%m-%d) at commit $commit, on one machine:"
    echo "$processor ($(nproc) hardware threads; ${extensions% }), $system."
    echo "Each cell is the median of $reps runs. The machine may be shared and busy, so the"
    echo "milliseconds are noisy; the ratio to a plain read (\"x read\"), timed by turns with the"
    echo "row it belongs to in the same run, is the figure to compare."
    echo
    echo "## The core, native ($(uname -m))"
    echo
    echo "Each pass of every kernel path the processor has, serial and threaded, against a plain"
    echo "streaming read (16-byte loads) of the same two pictures with the same threading. The"
    echo "pictures are the benchmark's own and are read again and again, so the smaller ones stay"
    echo "in the processor's cache."
    echo
    "$native_dir/bench/core_bench" --reps "$reps"
    echo
    echo "## VMAF, the core, native ($(uname -m))"
    echo
    echo "One frame of a series (\`core_bench --pass vmaf\`): VIF, ADM, the reference blurred"
    echo "for motion and its difference from the one before, against the same plain read."
    echo
    "$native_dir/bench/core_bench" --reps "$reps" --pass vmaf
    echo
    if [ "$route" != native ]; then
        # Under software emulation the SIMD kernels run many times slower than the read they
        # are compared with: such figures would mislead.
        echo "(No 32-bit figures: this machine does not run 32-bit code natively, and timings under"
        echo "emulation mean nothing.)"
    else
        "$win32_dir/wine-prefix" start
        echo "## The core, 32-bit build under Wine"
        echo
        echo "The same table from the 32-bit build, which is the one the modules are made of."
        echo
        "$win32_dir/wine-run" "$win32_dir/bench/core_bench.exe" --reps "$reps" | tr -d '\r'
        echo
        echo "## The modules in the stand-in host, 32-bit build under Wine"
        echo
        echo "\"title ms\" is what the module shows in its title (the measuring passes only). The"
        echo "read beside it is a benchmark-only module that obtains the very same pictures the same"
        echo "way (the host's fresh copies, the fetched frame among them) and times a plain serial"
        echo "read of them as the module times its passes. \"ProcessFrame ms\" is the whole call,"
        echo "dominated by the stand-in host's copies into guard-page pictures. \"kernels\" is the"
        echo "path: cpuid for the shipped modules, which choose by CPUID, else a benchmark-only"
        echo "module pinned at that path. The multithread rows are against the same serial read."
        echo
        capped=()
        for path in scalar sse2 avx; do
            capped+=(--path "$path" "$win32_dir/morvith/morvith_$path.auf" "$win32_dir/morvith_ex/morvith_ex_$path.auf")
        done
        "$win32_dir/wine-run" "$win32_dir/bench/module_bench.exe" "$win32_dir/morvith/morvith.auf" \
            "$win32_dir/morvith_ex/morvith_ex.auf" --reps "$reps" "${capped[@]}" | tr -d '\r'
        "$win32_dir/wine-prefix" stop
    fi
} > "$tmp"
mv "$tmp" "$out"
trap - EXIT
echo "bench: wrote $out"
