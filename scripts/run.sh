#!/usr/bin/env bash
# Sets up the machine, builds both builds and runs the main job: the real plug-in modules
# in the stand-in host under Wine (on this machine, or in the emulated guest where this
# machine cannot run 32-bit code), on the built-in clips, printing what the user would
# see (the settings window's title after each frame, and every message box).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --job ]; then
    bash scripts/setup.sh
    cmake --preset native >/dev/null
    cmake --build --preset native >/dev/null
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 >/dev/null
    cmake --build --preset win32 --target release >/dev/null
    echo "(32-bit programs run on the $(bash scripts/win32-runner.sh route) route)"
    exec bash scripts/win32-runner.sh bash scripts/run.sh --job
fi

host=build/win32/standin/standin_host.exe
morvith=build/win32/morvith/morvith.auf
morvith_ex=build/win32/morvith_ex/morvith_ex.auf
standin() { build/win32/wine-run "$host" "$@" | tr -d '\r'; }

# morvith: sliders 0 kind (1 PSNR, 2 SSIM, 3 windowed SSIM, 4 VMAF), 1 frame offset; checkboxes 0 multithread, 1 load file.
if [ -f "$morvith" ]; then
    echo "== morvith.auf, frame mode: each frame against the next one (offset 1) =="
    standin "$morvith" --slider 0=1 --slider 1=1 --frames 0-2
    standin "$morvith" --slider 0=2 --slider 1=1 --check 0=1 --frames 0-2
    echo "== morvith.auf, VMAF: frame 1 ahead is the reference, the current frame the distorted one =="
    standin "$morvith" --slider 0=4 --slider 1=1 --check 0=1 --frames 0-2
    echo "== morvith.auf, frame mode at the clip's end: there is no next frame =="
    standin "$morvith" --slider 0=1 --slider 1=1 --frames 9-9
    echo "== morvith.auf, file mode: against frame 1 written as a bitmap =="
    mkdir -p build/win32/run
    reference="$PWD/build/win32/run/reference.bmp"
    standin "$morvith" --write-reference-bmp "$reference" 1 --reference "$reference" \
        --slider 0=1 --check 1=1 --frames 0-2
    standin "$morvith" --reference "$reference" --slider 0=2 --check 1=1 --frames 0-2
else
    echo "(morvith.auf is not built yet)"
fi

# morvith_ex: sliders 0 kind, 1-2 region width/height, 3-6 x1 y1 x2 y2, 7-8 range;
# checkboxes 0 average, 1 outline. The side-by-side clip has two 640 x 360 halves.
if [ -f "$morvith_ex" ]; then
    echo "== morvith_ex.auf: left half against right half, single frames =="
    standin "$morvith_ex" --clip side-by-side --slider 0=1 --slider 2=360 --frames 0-1
    standin "$morvith_ex" --clip side-by-side --slider 0=2 --slider 2=360 --frames 0-1
    echo "== morvith_ex.auf: averaged over frames 0-9, with the progress titles; then Edit > the"
    echo "   worst frame (no second range), and File > Export of the report as CSV =="
    mkdir -p build/win32/run
    rm -f build/win32/run/report.csv
    standin "$morvith_ex" --clip side-by-side --slider 0=1 --slider 2=360 --slider 7=0 --slider 8=9 \
        --check 0=1 --frames 0-0 --titles --menu 1 --export "$PWD/build/win32/run/report.csv"
    standin "$morvith_ex" --clip side-by-side --slider 0=2 --slider 2=360 --slider 7=0 --slider 8=9 \
        --check 0=1 --frames 0-0
    echo "== morvith_ex.auf: the report of frames 0-59 as a graph in the settings window, after"
    echo "   Edit > the worst frame =="
    standin "$morvith_ex" --clip side-by-side --length 60 --slider 0=1 --slider 2=360 --slider 7=0 \
        --slider 8=59 --check 0=1 --frames 0-0 --menu 1 --scale 2 \
        --screenshot "$PWD/build/win32/run/morvith_ex-graph.png"
    echo "== morvith_ex.auf: VMAF (kind 4, left half the reference) over frames 0-29, with the"
    echo "   progress titles; Edit > the worst frame, the CSV's first lines and the graph =="
    rm -f build/win32/run/vmaf.csv
    standin "$morvith_ex" --clip side-by-side --length 30 --slider 0=4 --slider 2=360 --slider 7=0 \
        --slider 8=29 --check 0=1 --frames 0-0 --titles --menu 1 --export "$PWD/build/win32/run/vmaf.csv" \
        --scale 2 --screenshot "$PWD/build/win32/run/morvith_ex-vmaf-graph.png"
    echo "build/win32/run/vmaf.csv, its first lines:"
    head -n 4 build/win32/run/vmaf.csv | tr -d '\r' | sed 's/^/  /'
    echo "(the graph: build/win32/run/morvith_ex-vmaf-graph.png)"
else
    echo "(morvith_ex.auf is not built yet)"
fi

echo "== the release package =="
for zip in dist/morvith-*.zip; do
    echo "$zip:"
    cmake -E tar tvf "$zip" | sed 's/^/  /'
done
