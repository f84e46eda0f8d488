#!/usr/bin/env bash
# The win32 runner, on the route it chooses (MORVITH_WIN32_RUNNER forces one): a 32-bit
# program's output, code page 932 bytes included, and its exit status come back unchanged,
# a file it writes appears here, a program that hangs is stopped at the limit with a clear
# message, a failing test case fails ctest, and a guest build that cannot go on says
# where. A program's own fault comes back as its exception's status, once; only Wine
# itself killed by a signal is run once more. Needs the win32 build. Also: a failed update
# of the package lists is tried again.
set -uo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$repo"

runner=(bash scripts/win32-runner.sh)
wine=build/win32/wine-run
probe=build/win32/tests/runner/runner_probe.exe
route="$("${runner[@]}" route)"
work="$(mktemp -d "$repo/build/runner-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {
    local name="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok    $route: $name"
    else
        failed=$((failed + 1))
        echo "FAIL  $route: $name"
    fi
}

# 1. Output on both streams, byte for byte, and status 0.
printf 'runner probe\r\n\x8c\x76\x8e\x5a\x92\x86...\n\x95\x5c\tend' > "$work/expected-stdout"
printf 'to standard error\n' > "$work/expected-stderr"
status=0
"${runner[@]}" "$wine" "$probe" print > "$work/stdout" 2> "$work/stderr" || status=$?
check "status 0 comes back" test "$status" -eq 0
check "standard output comes back byte for byte" cmp "$work/expected-stdout" "$work/stdout"
# The native route's wine server may add its own lines to standard error: the probe's
# bytes must be there, whole.
check "standard error comes back" grep -qxF 'to standard error' "$work/stderr"

# 2. A file written by the program, and a non-zero status.
status=0
"${runner[@]}" "$wine" "$probe" write "${work#"$repo/"}/written.txt" "from the 32-bit side" 3 \
    > /dev/null 2>&1 || status=$?
check "status 3 comes back" test "$status" -eq 3
check "a written file appears on this machine" \
    grep -qxF 'from the 32-bit side' "$work/written.txt"

# 3. A program that hangs is stopped at the limit, with a message that says so.
limit=10
[ "$route" = emulated ] && limit=120
status=0
MORVITH_WIN32_TIMEOUT=$limit "${runner[@]}" "$wine" "$probe" hang > "$work/hang-stdout" \
    2> "$work/hang-stderr" || status=$?
check "a hanging program is stopped with status 124" test "$status" -eq 124
check "the stop names the time limit" grep -q 'time limit' "$work/hang-stderr"

# 4. A failing test case fails ctest, and ctest's report comes back.
status=0
"${runner[@]}" ctest --test-dir build/win32 -L runner-fixture --output-on-failure \
    > "$work/ctest-stdout" 2>&1 || status=$?
check "a failing test fails ctest" test "$status" -ne 0
check "ctest's report names the failing case" grep -q 'FailsOnPurpose' "$work/ctest-stdout"

# 5. A fault of the program ends it with the exception's status (5, an access violation),
# and it is not run again; Wine itself killed by SIGSEGV is, once, and says so.
status=0
"${runner[@]}" "$wine" "$probe" fault > "$work/fault-stdout" 2> "$work/fault-stderr" || status=$?
check "a fault comes back as status 5" test "$status" -eq 5
check "a faulting program runs once" test "$(grep -c 'before the fault' "$work/fault-stdout")" -eq 1
mkdir -p "$work/fake-wine"
cat > "$work/fake-wine/wine" <<'FAKE'
#!/bin/sh
echo run >> "$RUNS"
[ "$(wc -l < "$RUNS")" -gt "$CRASHES" ] && exit 7
kill -SEGV $$
FAKE
chmod +x "$work/fake-wine/wine"
for crashes in 1 2; do
    : > "$work/runs"
    # In a subshell whose standard error is dropped, so that this log shows no report of
    # the fake's deaths.
    status=$( (PATH="$work/fake-wine:$PATH" RUNS="$work/runs" CRASHES=$crashes "$wine" "$probe" \
        print > /dev/null 2> "$work/crash-stderr"; echo $?) 2> /dev/null)
    if [ "$crashes" -eq 1 ]; then
        check "Wine killed once: the second run's status comes back" test "$status" -eq 7
        check "the second run is said on standard error" grep -q 'running it once more' "$work/crash-stderr"
    else
        check "Wine killed twice: the signal comes back" test "$status" -eq 139
    fi
    check "Wine killed $crashes time(s): two runs at most" test "$(wc -l < "$work/runs")" -eq 2
done

# 6. A guest build that cannot go on names the failing step and its log in one line, and
# stops at once (both fail before anything is downloaded; building needs root).
if [ "$(id -u)" -eq 0 ]; then
    status=0
    MORVITH_GUEST_SPACE_MB=999999999 bash guest/build-image.sh "$work/guest" \
        > /dev/null 2> "$work/space-stderr" || status=$?
    check "a guest build without space fails" test "$status" -ne 0
    check "it names the step and its log" \
        grep -qF "step 'space' failed (exit 1); log: $work/guest/logs/space.log" "$work/space-stderr"
    status=0
    MORVITH_GUEST_MIRROR=http://127.0.0.1:9/debian bash guest/build-image.sh "$work/guest" \
        > /dev/null 2> "$work/mirror-stderr" || status=$?
    check "a guest build whose mirror cannot be reached fails" test "$status" -ne 0
    check "it names the step and its log" \
        grep -qF "step 'mirror' failed (exit 1); log: $work/guest/logs/mirror.log" "$work/mirror-stderr"
fi

# 7. Package lists: an update that fails is tried again, three times at most, and its
# status says whether the last try worked (setup and the guest build then go on or say so).
. scripts/package-lists.sh
failing_update() { echo try >> "$work/tries"; [ "$(wc -l < "$work/tries")" -gt "$1" ]; }
for case in "0 1 0" "2 3 0" "3 3 1" "5 3 1"; do
    read -r failures tries expected <<< "$case"
    : > "$work/tries"
    status=0
    MORVITH_APT_RETRY_SECONDS=0 update_package_lists failing_update "$failures" || status=$?
    check "an update failing $failures time(s): $tries tries, status $expected" \
        test "$(wc -l < "$work/tries"):$status" = "$tries:$expected"
done

echo "runner: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
