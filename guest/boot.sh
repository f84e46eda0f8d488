#!/usr/bin/env bash
# Boots the emulated guest once to run one command in it, and gives back the command's
# standard output, standard error and exit status unchanged.
#   guest/boot.sh --share DIR --cwd DIR [--] COMMAND [ARGUMENT...]
# DIR is shared read-write with the guest at its own absolute path; the command runs in
# --cwd (inside DIR) with bash, with every MORVITH_*, CTEST_* and GTEST_* variable of the
# caller. Environment:
#   MORVITH_GUEST_DIR       the built guest (kernel, initrd.gz, root.ext4)
#   MORVITH_GUEST_TIMEOUT   seconds before the guest is stopped (default 2400)
#   MORVITH_GUEST_WRITABLE  1: changes to the root image are kept (only to build it)
# Exit status: the command's; 124 when the time limit stopped the guest; 125 when the
# guest ended without finishing the command. Both print the console's last lines.
set -euo pipefail

share=""
cwd=""
while [ $# -gt 0 ]; do
    case "$1" in
    --share) share="$2"; shift 2 ;;
    --cwd) cwd="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ -n "$share" ] && [ -n "$cwd" ] && [ $# -gt 0 ] || {
    echo "usage: guest/boot.sh --share DIR --cwd DIR [--] COMMAND [ARGUMENT...]" >&2
    exit 2
}
guest="${MORVITH_GUEST_DIR:?MORVITH_GUEST_DIR names the built guest}"
limit="${MORVITH_GUEST_TIMEOUT:-2400}"
share="$(cd "$share" && pwd)"
case "$share" in *[[:space:],]*)
    echo "guest: the shared folder's path must not hold spaces or commas: $share" >&2
    exit 2 ;;
esac

job="$(mktemp -d "$guest/job.XXXXXX")"
console="$job/console.log"
printf '%s\n' "$share" > "$job/share"
printf '%s\n' "$cwd" > "$job/cwd"
{
    while IFS= read -r name; do
        printf 'export %s=%q\n' "$name" "${!name}"
    done < <(compgen -e | grep -E '^(MORVITH|CTEST|GTEST)_' || true)
    echo "export HOME=/root"
} > "$job/environment"
{
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
} > "$job/command"
: > "$job/stdout"
: > "$job/stderr"

snapshot=on
[ "${MORVITH_GUEST_WRITABLE:-0}" = 1 ] && snapshot=off

# SMAP off: QEMU's software emulation faults on the IRET that returns to 32-bit code,
# and the guest kernel then kills every 32-bit process.
qemu=(qemu-system-x86_64 -nodefaults -no-user-config -machine pc -accel tcg,thread=multi
    -cpu max,smap=off -smp "$(nproc)" -m 3G -display none -no-reboot
    -kernel "$guest/kernel" -initrd "$guest/initrd.gz"
    -append "console=ttyS0 root=/dev/vda panic=-1 loglevel=4 tsc=reliable"
    -drive "file=$guest/root.ext4,if=virtio,format=raw,snapshot=$snapshot,cache=unsafe"
    -virtfs "local,path=$job,mount_tag=job,security_model=none,multidevs=remap"
    -virtfs "local,path=$share,mount_tag=share,security_model=none,multidevs=remap"
    -serial "file:$console" -serial "file:$job/stdout" -serial "file:$job/stderr")

timeout --kill-after=20 "$limit" "${qemu[@]}" </dev/null >"$job/qemu.log" 2>&1 &
qemu_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$job/stdout" &
out_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$job/stderr" >&2 &
err_pid=$!
qemu_status=0
wait "$qemu_pid" || qemu_status=$?
wait "$out_pid" "$err_pid" || true

cp "$console" "$guest/last-console.log" 2>/dev/null || true
last_lines() {
    echo "guest: last lines of its console ($guest/last-console.log):" >&2
    tail -n 15 "$console" | tr -d '\r' | sed 's/^/guest:   /' >&2
    if [ -s "$job/qemu.log" ]; then
        sed 's/^/guest:   qemu: /' "$job/qemu.log" >&2
    fi
}
if [ "$qemu_status" -eq 124 ] || [ "$qemu_status" -eq 137 ]; then
    echo "guest: stopped after ${limit} s, its time limit; the command had not finished" >&2
    last_lines
    rm -rf "$job"
    exit 124
fi
if [ ! -f "$job/status" ]; then
    echo "guest: the guest ended without finishing the command (qemu exit $qemu_status)" >&2
    last_lines
    rm -rf "$job"
    exit 125
fi
status="$(cat "$job/status")"
rm -rf "$job"
exit "$status"
