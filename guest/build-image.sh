#!/usr/bin/env bash
# Builds the emulated Debian guest in which the 32-bit Windows programs run where this
# machine cannot execute 32-bit code: Debian's amd64 kernel (with IA-32 emulation) and
# Wine from Debian's own packages, with a Wine prefix baked into the root image.
#   guest/build-image.sh OUTPUT_DIR
# Writes OUTPUT_DIR/{kernel,initrd.gz,root.ext4,recipe}; needs root (debootstrap, chroot).
# MORVITH_GUEST_MIRROR replaces the host's Debian mirror; MORVITH_GUEST_SPACE_MB the free
# space it asks for (4000).
# Each step logs to OUTPUT_DIR/logs/STEP.log; a failing step is named in one line.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../scripts/package-lists.sh"

# The recipe: the guest is rebuilt whenever this changes.
recipe() {
    { cat "$here/build-image.sh" "$here/initrd-init" "$here/guest-init" "$here/bake-prefix.sh" \
          "$here/../scripts/package-lists.sh"
      . /etc/os-release && echo "$VERSION_CODENAME"; } | sha256sum | cut -d' ' -f1
}
if [ "${1:-}" = --recipe ]; then
    recipe
    exit 0
fi
out="${1:?usage: guest/build-image.sh OUTPUT_DIR | --recipe}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$out/work"
root="$work/root"
logs="$out/logs"
mkdir -p "$logs"
rm -f "$out/recipe"

# What the guest holds besides Debian's minimal base.
guest_packages="wine wine32:i386 cmake locales fonts-ipafont-gothic"
tool_packages="busybox-static kmod cpio"

current_step=""
current_log=""
on_exit() {
    local status=$?
    umount_chroot
    if [ "$status" -ne 0 ] && [ -n "$current_step" ]; then
        echo "guest: step '$current_step' failed (exit $status); log: $current_log" >&2
        tail -n 5 "$current_log" 2>/dev/null | sed 's/^/guest:   /' >&2 || true
    fi
}
mounted=()
umount_chroot() {
    local m
    for m in "${mounted[@]+"${mounted[@]}"}"; do umount -l "$m" 2>/dev/null || true; done
    mounted=()
}
trap on_exit EXIT

step() {
    current_step="$1"
    current_log="$logs/$1.log"
    : > "$current_log"
    echo "guest: $1" >&2
}
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }

step space
# The root tree and its image each take about 1 GB; the packages' download a few hundred MB.
available_mb=$(df --output=avail -BM "$out" | tail -n 1 | tr -dc 0-9)
echo "available: ${available_mb} MB in $out" >> "$current_log"
needed_mb="${MORVITH_GUEST_SPACE_MB:-4000}"
if [ "$available_mb" -lt "$needed_mb" ]; then
    echo "only ${available_mb} MB free in $out; the guest needs about ${needed_mb} MB" | tee -a "$current_log" >&2
    false
fi

step mirror
# The host's own Debian sources, so that the guest comes from where the host's packages do.
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
mirror=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    mirror="$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)"
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
    mirror="$(awk -v c="$codename" '$1 == "deb" && $3 == c { print $2; exit }' /etc/apt/sources.list)"
fi
mirror="${MORVITH_GUEST_MIRROR:-${mirror:-http://deb.debian.org/debian}}"
echo "mirror $mirror, suite $codename" | tee -a "$current_log" >&2
# Asking for the release file first turns an unreachable mirror into one clear line
# instead of debootstrap's retries.
if ! wget --tries=2 --timeout=20 -O /dev/null "$mirror/dists/$codename/Release" >> "$current_log" 2>&1; then
    echo "cannot reach $mirror" >&2
    false
fi

step debootstrap
rm -rf "$work"
mkdir -p "$work"
debootstrap --variant=minbase --arch=amd64 "$codename" "$root" "$mirror" >> "$current_log" 2>&1

step packages
for fs in proc sys dev; do
    mount --bind "/$fs" "$root/$fs"
    mounted=("$root/$fs" "${mounted[@]+"${mounted[@]}"}")
done
rm -f "$root/etc/apt/sources.list"
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
else
    grep -E '^deb ' /etc/apt/sources.list > "$root/etc/apt/sources.list"
fi
{
    in_root dpkg --add-architecture i386
    # Some lists may be missing for a while (scripts/package-lists.sh says why).
    lists_incomplete=""
    update_package_lists in_root apt-get update -q || lists_incomplete=1
    # A few maintainer scripts of i386 packages cannot run where the host refuses 32-bit
    # code; dpkg reports them and goes on, and nothing here needs what they would do.
    in_root apt-get install -y -q --no-install-recommends $guest_packages $tool_packages
} >> "$current_log" 2>&1
if [ -n "$lists_incomplete" ]; then
    echo "guest: some package lists could not be fetched, and the packages came from the others" \
        "(see $current_log)" >&2
fi

step kernel
rm -rf "$root/tmp/kernel" && mkdir -p "$root/tmp/kernel"
{
    kernel_package="$(in_root apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-/ { print $2; exit }')"
    echo "kernel package: $kernel_package"
    in_root sh -c "cd /tmp/kernel && apt-get download $kernel_package"
    dpkg-deb -x "$root"/tmp/kernel/*.deb "$root/tmp/kernel/tree"
} >> "$current_log" 2>&1
kernel_version="$(ls "$root/tmp/kernel/tree/lib/modules")"
echo "kernel $kernel_version" >> "$current_log"
# The kernel's own xz stream, unpacked: an uncompressed ELF boots through PVH, seconds
# faster under software emulation than the self-decompressing image.
vmlinuz="$root/tmp/kernel/tree/boot/vmlinuz-$kernel_version"
xz_offset="$( (LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" || true) | head -n 1 | cut -d: -f1)"
if [ -n "$xz_offset" ] &&
   (set +o pipefail; tail -c +"$((xz_offset + 1))" "$vmlinuz" | xz -dc --single-stream) \
       > "$work/vmlinux" 2>> "$current_log" &&
   [ "$(head -c 4 "$work/vmlinux" | tail -c 3)" = ELF ]; then
    echo "booting the unpacked ELF kernel" >> "$current_log"
else
    cp "$vmlinuz" "$work/vmlinux"
fi

step initrd
# A small busybox initrd: the modules for the root disk and the shared folder, then
# switch_root into the image.
initrd="$root/tmp/initrd"
rm -rf "$initrd" && mkdir -p "$initrd"/{bin,dev,proc,sys,newroot,modules}
cp "$root/bin/busybox" "$initrd/bin/busybox"
cp "$here/initrd-init" "$initrd/init"
chmod +x "$initrd/init"
{
    in_root depmod -b /tmp/kernel/tree "$kernel_version"
    in_root modprobe -d /tmp/kernel/tree -S "$kernel_version" --show-depends -a \
        virtio_pci virtio_blk ext4 crc32c_generic 9pnet_virtio 9p > "$work/modules.list"
    cat "$work/modules.list"
} >> "$current_log" 2>&1
n=0
awk '$1 == "insmod" && !seen[$2]++ { print $2 }' "$work/modules.list" > "$work/modules.order"
while read -r path; do
    n=$((n + 1))
    name="$(printf '%02d-%s' "$n" "$(basename "$path")")"
    case "$path" in
    *.xz) xz -dc "$root$path" > "$initrd/modules/${name%.xz}" ;;
    *) cp "$root$path" "$initrd/modules/$name" ;;
    esac
done < "$work/modules.order"
in_root sh -c 'cd /tmp/initrd && find . | sort | cpio -o -H newc --quiet' | gzip -9 > "$work/initrd.gz"

step trim
# Debian ships Wine's DLLs with their debug information: stripped, the image is a
# quarter of the size and loads faster over the emulated disk.
{
    find "$root/usr/lib/i386-linux-gnu/wine/i386-windows" -type f \
        -exec i686-w64-mingw32-strip -s {} + 2>&1 | tail -n 3 || true
    find "$root/usr/lib/i386-linux-gnu" -type f -name '*.so*' \
        -exec strip -s {} + 2>&1 | tail -n 3 || true
    rm -rf "$root/tmp/kernel" "$root/tmp/initrd" "$root"/var/cache/apt/archives/*.deb "$root"/var/lib/apt/lists/* \
        "$root"/usr/share/doc/* "$root"/usr/share/man/*
} >> "$current_log" 2>&1

step locale
# Code page 932 for Wine, as the native route has it.
mkdir -p "$root/opt/morvith/locale"
in_root localedef -i ja_JP -f UTF-8 /opt/morvith/locale/ja_JP.UTF-8 >> "$current_log" 2>&1 || true
test -d "$root/opt/morvith/locale/ja_JP.UTF-8"

step root-image
umount_chroot
install -m 0755 "$here/guest-init" "$root/sbin/morvith-guest-init"
install -m 0755 "$here/bake-prefix.sh" "$root/opt/morvith/bake-prefix.sh"
used_mb=$(du -sm "$root" | cut -f1)
size_mb=$((used_mb + 1536))
rm -f "$work/root.ext4"
mke2fs -q -t ext4 -L morvith-guest -d "$root" -F "$work/root.ext4" "${size_mb}M" >> "$current_log" 2>&1
echo "root tree ${used_mb} MB, image ${size_mb} MB" >> "$current_log"

step bake-prefix
# The Wine prefix is made once, in the guest itself, and kept in the image.
mv "$work/vmlinux" "$out/kernel"
mv "$work/initrd.gz" "$out/initrd.gz"
mv "$work/root.ext4" "$out/root.ext4"
MORVITH_GUEST_DIR="$out" MORVITH_GUEST_WRITABLE=1 MORVITH_GUEST_TIMEOUT="${MORVITH_GUEST_BAKE_TIMEOUT:-900}" \
    bash "$here/boot.sh" --share "$here" --cwd "$here" -- /opt/morvith/bake-prefix.sh >> "$current_log" 2>&1

rm -rf "$work"
recipe > "$out/recipe"
current_step=""
echo "guest: ready ($(du -sh --apparent-size "$out/root.ext4" | cut -f1) image, $(du -sh "$out/root.ext4" | cut -f1) used)" >&2
