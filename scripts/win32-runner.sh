#!/usr/bin/env bash
# Runs a command that starts 32-bit Windows programs of the win32 build (ctest, the main
# job, the screenshots) on one of two routes:
#   native    Wine on this machine, in the build's own prefix;
#   emulated  Wine inside an emulated Debian guest (built once under build/guest), for
#             machines whose kernel refuses 32-bit code. One boot runs the whole command.
# The route is chosen by probing whether this machine executes 32-bit code;
# MORVITH_WIN32_RUNNER=native|emulated forces one.
#   scripts/win32-runner.sh route                 prints the route
#   scripts/win32-runner.sh guest                 builds the guest if it is missing or stale
#   scripts/win32-runner.sh [--] COMMAND [ARG...]   runs COMMAND in the repository's folder
# MORVITH_WIN32_TIMEOUT (seconds, default 2400) stops a command that hangs, on either route.
# The command's output and exit status come back unchanged; 124 means stopped at the limit.
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
limit="${MORVITH_WIN32_TIMEOUT:-2400}"

probe_route() {
    local probe="$repo/build/ia32_probe"
    if [ ! -x "$probe" ] || [ "$repo/guest/ia32_probe.c" -nt "$probe" ]; then
        mkdir -p "$repo/build"
        cc -O1 -o "$probe" "$repo/guest/ia32_probe.c"
    fi
    "$probe" || true
}

route() {
    case "${MORVITH_WIN32_RUNNER:-auto}" in
    native | emulated) echo "$MORVITH_WIN32_RUNNER" ;;
    auto | "") probe_route ;;
    *)
        echo "win32-runner: MORVITH_WIN32_RUNNER must be native, emulated or auto, not '$MORVITH_WIN32_RUNNER'" >&2
        exit 2 ;;
    esac
}

guest_dir="$repo/build/guest"
ensure_guest() {
    local recipe
    recipe="$(bash "$repo/guest/build-image.sh" --recipe)"
    if [ -f "$guest_dir/recipe" ] && [ "$(cat "$guest_dir/recipe")" = "$recipe" ] &&
       [ -f "$guest_dir/root.ext4" ]; then
        return 0
    fi
    echo "win32-runner: building the emulated guest in $guest_dir (once; a few minutes)" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    local started=$SECONDS
    $sudo bash "$repo/guest/build-image.sh" "$guest_dir"
    [ -z "$sudo" ] || $sudo chown -R "$(id -u):$(id -g)" "$guest_dir"
    echo "win32-runner: guest built in $((SECONDS - started)) s" >&2
}

run_native() {
    local wine_prefix="$repo/build/win32/wine-prefix"
    if [ ! -x "$wine_prefix" ]; then
        echo "win32-runner: $wine_prefix is missing; configure the win32 preset first" >&2
        exit 2
    fi
    "$wine_prefix" start
    local status=0
    timeout --kill-after=20 "$limit" "$@" || status=$?
    "$wine_prefix" stop
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        echo "win32-runner: stopped after ${limit} s, the time limit (MORVITH_WIN32_TIMEOUT): $*" >&2
        return 124
    fi
    return "$status"
}

run_emulated() {
    ensure_guest
    # Inside the guest the same runner takes the native route, with the prefix and locale
    # that the guest's image holds. ctest runs as many tests at once as the guest has
    # processors: under emulation a test is mostly Wine starting up, which parallelises.
    CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}" \
    MORVITH_GUEST_DIR="$guest_dir" MORVITH_GUEST_TIMEOUT="$limit" \
    MORVITH_WIN32_RUNNER=native MORVITH_WIN32_ROUTE=emulated \
    MORVITH_WINE_PREFIX=/opt/morvith/wineprefix MORVITH_LOCALE_DIR=/opt/morvith/locale \
        bash "$repo/guest/boot.sh" --share "$repo" --cwd "$repo" -- \
        bash "$repo/scripts/win32-runner.sh" "$@"
}

case "${1:-}" in
route) route; exit 0 ;;
guest) ensure_guest; exit 0 ;;
--) shift ;;
"") echo "usage: scripts/win32-runner.sh route | guest | [--] COMMAND [ARG...]" >&2; exit 2 ;;
esac

cd "$repo"
case "$(route)" in
native) run_native "$@" ;;
emulated) run_emulated -- "$@" ;;
esac
