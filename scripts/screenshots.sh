#!/usr/bin/env bash
# Regenerates the guides' pictures: each plug-in's settings window in the stand-in host
# under Wine, right after a real measurement, and a frame as the editor's preview shows it
# with Morvith ex's outlines, saved as docs/*.png. The windows are drawn at twice their
# size, pixel for pixel, so that the decimal point of a result reads as one. Wine's null display
# driver renders the windows with the same GDI code as a display would, so no X server
# is needed; where this machine cannot run 32-bit code, the emulated guest takes them.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --job ]; then
    bash scripts/setup.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target standin_host morvith morvith_ex >/dev/null
    exec bash scripts/win32-runner.sh bash scripts/screenshots.sh --job
fi

host=build/win32/standin/standin_host.exe
standin() { build/win32/wine-run "$host" "$@" | tr -d '\r'; }
# A prefix of their own: the caption font the screenshots set lasts as long as the wine
# server, which the tests' prefix keeps running. The emulated guest's prefix lives only
# as long as the guest's one boot, so there the guest's own serves.
if [ -z "${MORVITH_WINE_PREFIX:-}" ]; then
    export MORVITH_WINE_PREFIX="$PWD/build/win32/screenshot-prefix"
    build/win32/wine-prefix start
    trap 'build/win32/wine-prefix stop' EXIT
fi
mkdir -p build/win32/run
reference="$PWD/build/win32/run/still.bmp"

# morvith in file mode: frame 1 of the built-in clip against a still saved from it.
standin build/win32/morvith/morvith.auf --write-reference-bmp "$reference" 1 --reference "$reference" \
    --slider 0=1 --check 1=1 --frames 1-1 --scale 2 --screenshot "$PWD/docs/morvith-window.png"

# morvith_ex on the side-by-side clip (two 640 x 360 halves): SSIM of the two halves, and
# the frame it hands back with both rectangles outlined.
standin build/win32/morvith_ex/morvith_ex.auf --clip side-by-side --slider 0=2 --slider 2=360 \
    --frames 0-0 --scale 2 --screenshot "$PWD/docs/morvith_ex-window.png"
standin build/win32/morvith_ex/morvith_ex.auf --clip side-by-side --slider 0=2 --slider 1=600 --slider 2=320 \
    --slider 3=20 --slider 4=20 --slider 5=660 --slider 6=20 --frames 0-0 --preview "$PWD/docs/morvith_ex-preview.png"
# morvith_ex's report of 60 frames as its graph, after the move to the worst frame.
standin build/win32/morvith_ex/morvith_ex.auf --clip side-by-side --length 60 --slider 0=1 --slider 2=360 \
    --slider 7=0 --slider 8=59 --check 0=1 --frames 0-0 --menu 1 --scale 2 \
    --screenshot "$PWD/docs/morvith_ex-graph.png"
