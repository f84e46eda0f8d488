#!/usr/bin/env bash
# Installs every Debian package that the two builds, their tests and the scripts use:
# Wine itself where this machine runs 32-bit code, the emulated guest's tools where it
# does not (or where MORVITH_WIN32_RUNNER=emulated asks for that route).
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each is for: the builds and their tests (cmake to googletest; g++ brings the
# runtimes of its sanitizers); the 32-bit build (mingw-w64); image files in the stand-in
# host (libstb-dev); Japanese glyphs in the screenshots (fonts-ipafont-gothic); the
# fuzzers (clang to llvm-14); the guides as web pages in the zip (pandoc) and the test
# that opens them in a browser (chromium).
packages=(
  cmake g++ make locales
  googletest libgtest-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  libstb-dev
  fonts-ipafont-gothic
  clang libclang-rt-14-dev llvm-14
  pandoc chromium
)
native_route_packages=(wine wine32:i386)
emulated_route_packages=(qemu-system-x86 debootstrap xz-utils)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=""

. scripts/package-lists.sh

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "setup: installing ${missing[*]}" >&2
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    updated=""
  fi
  export DEBIAN_FRONTEND=noninteractive
  if [ -z "$updated" ]; then
    update_package_lists $sudo apt-get update -qq ||
      echo "setup: some package lists could not be fetched; going on with the others" >&2
    updated=1
  fi
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
case "$(bash scripts/win32-runner.sh route)" in
native) install_missing "${native_route_packages[@]}" ;;
emulated) install_missing "${emulated_route_packages[@]}" ;;
esac
