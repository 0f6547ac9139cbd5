#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root. Quick and
# quiet when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    libgtest-dev libgmock-dev
    clang lld llvm libclang-rt-14-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
    valgrind socat libmodbus-dev nlohmann-json3-dev libboost-dev
    mono-mcs mono-runtime doxygen python3
    wine wine64
    chromium
)
wine32_package=wine32:i386

missing=()
for p in "${packages[@]}" "$wine32_package"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node and npm for the monitor's page (its plotting library) and its browser
# test: Debian's unless the machine already has them from elsewhere (a Node
# that bundles npm conflicts with Debian's npm package).
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
