#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, as root (or through sudo).
#
#   bash scripts/setup.sh           the full set: what the test command
#                                   (scripts/test-all.sh) builds and runs with
#   bash scripts/setup.sh minimal   what the main job (scripts/run.sh) needs:
#                                   a C++ compiler, CMake, Ninja and the
#                                   header-only JSON and Boost libraries
#   bash scripts/setup.sh build     what the Windows builds need (the
#                                   MinGW compilers, GoogleTest's sources)
#
# It says which packages are missing, installs only those with apt's progress
# shown, and returns at once when everything is there. A package belongs in
# the first set that needs it; each set includes the one before it.
set -euo pipefail

# The main job: the native library, the simulated board and the zorenc tool.
minimal_packages=(
    build-essential # g++, make; binutils (readelf, objdump)
    cmake
    ninja-build
    nlohmann-json3-dev # JSON in the toolkit and the tool
    libboost-dev       # Beast and Asio, header-only: the monitor's HTTP server
)

# The test command. Every program that the scripts and tests call comes from
# these packages or from one Debian always installs (coreutils: timeout,
# mktemp; util-linux: flock; bash, grep, sed, findutils).
# The Windows builds (the DLLs and their test programs): the test command
# starts them once these are in, while the rest of the full set installs.
build_packages=(
    "${minimal_packages[@]}"
    pkg-config git python3
    procps                    # ps (tests/wine/run.sh)
    libgtest-dev libgmock-dev # unit tests
    googletest                # its sources: the Windows test programs build it
    clang lld llvm libclang-rt-14-dev # fuzzers; lld-link writes the MSVC import libraries
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64 # the DLLs (win32 thread model),
                              # the Windows test programs (the -posix compilers)
)
full_packages=(
    "${build_packages[@]}"
    wine wine64 wine32:i386   # runs the DLLs' tests
    valgrind                  # scripts/reliability.sh valgrind
    libmodbus-dev socat       # the benchmark's peer; ports for experiments
    ser2net                   # a serial server in front of the simulated board (network ports)
    doxygen                   # the HTML reference of zorenc.h
    python3-build python3-setuptools python3-wheel python3-pip # the Python wheels
    python3-pytest python3-venv mypy python3-typeshed # the Python tests, from the installed wheel
    tshark                    # reads captures with the generated dissector
    chromium fonts-liberation # the monitor page's browser test (its text needs a font)
    ca-certificates           # npm's registry over HTTPS (the browser test's driver)
    prometheus                # scrapes the monitor's /metrics in its test (promtool too)
)

case ${1:-full} in
minimal) packages=("${minimal_packages[@]}") ;;
build) packages=("${build_packages[@]}") ;;
full) packages=("${full_packages[@]}") ;;
*)
    echo "usage: $0 [minimal|build|full]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node and npm for the browser test of the monitor's page (the page itself
# needs neither): Debian's unless the machine already has them from elsewhere
# (a Node that bundles npm conflicts with Debian's npm package).
if [ "${1:-full}" = full ]; then
    command -v node >/dev/null || missing+=(nodejs)
    command -v npm >/dev/null || missing+=(npm)
fi
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# Another install holding apt's lock is waited for, not broken.
apt_get() { $SUDO apt-get -q -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 "$@"; }
# A mirror caught in the middle of a sync fails one index now and then (a file
# of the wrong size): try again, and go on with the indexes that did come, so
# that a transient fault of one index does not fail the whole run.
apt_update() {
    local attempt
    for attempt in 1 2 3; do
        apt_get update && return 0
        echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
        sleep $((attempt * 5))
    done
    echo "setup: going on with the package indexes that could be read" >&2
}

echo "setup: installing ${#missing[@]} missing packages (${1:-full} set): ${missing[*]}"
# tshark's package asks whether non-root users may capture: answer no, unasked.
echo "wireshark-common wireshark-common/install-setuid boolean false" |
    $SUDO debconf-set-selections
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture (for wine32)"
    $SUDO dpkg --add-architecture i386
fi
echo "setup: apt-get update"
apt_update
echo "setup: apt-get install (a few minutes for the full set on a fresh machine)"
# Without the packages that Debian only recommends (printing, sound, desktop
# services, icon themes for Wine and the browser): about half the download,
# and what the tests use among them is named in the sets above.
apt_get install -y --no-install-recommends "${missing[@]}"
echo "setup: done"
