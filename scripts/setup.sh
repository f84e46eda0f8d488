#!/usr/bin/env bash
# Installs every Debian package that the two builds and their tests need.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  cmake g++ make locales
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386
  xvfb libstb-dev
  fonts-ipafont-gothic
  clang libclang-rt-14-dev libomp-14-dev llvm-14
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
