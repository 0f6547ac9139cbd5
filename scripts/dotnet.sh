#!/usr/bin/env bash
# Builds the .NET library (bindings/dotnet) and runs its xunit suite twice,
# through the net8.0 and the netstandard2.0 build, against the native build's
# library and simulated board; the x86 declarations are checked against the
# 32-bit DLL; then a short run of the benchmark. Everything dotnet writes goes under BUILD/dotnet: outputs,
# restored packages, NuGet's caches, the CLI's home and temporary files.
#   scripts/dotnet.sh [--restore] [BUILD]      (default: build/ of the source tree)
# --restore only restores the projects' packages, which needs no build (the
# test command does it beside its first stages, while it waits on the network).
# Without dotnet on PATH it says so and skips, except when CI is set.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib.sh
restore_only=0
if [ "${1:-}" = --restore ]; then
    restore_only=1
    shift
fi
out=$(realpath -m "${1:-$root/build}")

if ! command -v dotnet >/dev/null 2>&1; then
    if [ -n "${CI:-}" ]; then
        echo "dotnet: not found on PATH, and CI is set: the .NET part cannot be built" >&2
        exit 1
    fi
    echo "dotnet: not found on PATH: SKIPPED building and testing the .NET library"
    exit 0
fi

dir=$out/dotnet
mkdir -p "$dir/tmp" "$dir/home"
export DOTNET_CLI_HOME=$dir/home TMPDIR=$dir/tmp
export NUGET_HTTP_CACHE_PATH=$dir/http-cache NUGET_PLUGINS_CACHE_PATH=$dir/plugins-cache
export NUGET_PACKAGES=$dir/packages
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
# No build server or node outlives the command.
export MSBUILDDISABLENODEREUSE=1 DOTNET_CLI_USE_MSBUILD_SERVER=0
props=(-c Release -nodeReuse:false -p:ZorencBuildDir="$dir/" -p:UseSharedCompilation=false
    -p:ZorencNativeBuild="$out/native" -p:ZorencWin64Build="$out/win64" -p:ZorencWin32Build="$out/win32")
if [ $restore_only = 1 ]; then
    for project in Zorenc.Tests Zorenc.Tests.NetStandard Zorenc.Bench; do
        logged "$dir/restore-$project.log" dotnet restore "bindings/dotnet/$project" \
            -nodeReuse:false -p:ZorencBuildDir="$dir/" -p:ZorencNativeBuild="$out/native" -v quiet
    done
    exit 0
fi

export ZORENC_LIBRARY=$out/native/src/libzorenc_x64.so
export ZORENC_TOOLS_LIBRARY=$out/native/companion/libzorenc_tools_x64.so
export ZORENC_SIM=$out/native/sim/zorenc-sim
export ZORENC_X32_DLL=$out/win32/src/zorenc_x32.dll

for f in "$ZORENC_LIBRARY" "$ZORENC_TOOLS_LIBRARY" "$ZORENC_SIM" "$ZORENC_X32_DLL" \
    "$out/win64/src/zorenc_x64.dll" "$out/win64/companion/zorenc_tools_x64.dll" \
    "$out/win32/companion/zorenc_tools_x32.dll"; do
    [ -e "$f" ] || { echo "dotnet: $f missing: build native and win32 first" >&2; exit 1; }
done

status=0
for project in Zorenc.Tests Zorenc.Tests.NetStandard; do
    echo "-- $project"
    # Quiet, but a failed test shows its message and stack.
    dotnet test "bindings/dotnet/$project" "${props[@]}" --nologo -v quiet \
        --logger "console;verbosity=minimal" || status=1
done
# The package, packed twice (the second time from a fresh compile) to show that
# packs of one tree agree, then installed by two programs that know only it.
echo "-- the Zorenc package"
version=$(sed -n 's/^project(zorenc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
packages=$out/native/packages
dotnet pack bindings/dotnet/Zorenc "${props[@]}" --nologo -v quiet -o "$packages" || status=1
logged "$dir/rebuild.log" dotnet build bindings/dotnet/Zorenc "${props[@]}" --nologo -v quiet \
    --no-incremental &&
    dotnet pack bindings/dotnet/Zorenc "${props[@]}" --nologo -v quiet --no-build -o "$dir/repack" ||
    status=1
/usr/bin/python3 bindings/dotnet/package/check_package.py "$packages/Zorenc.$version.nupkg" \
    "$dir/repack/Zorenc.$version.nupkg" "$version" | grep -E "^(FAIL|[0-9]+ entries)" || status=1
bash bindings/dotnet/package/consumers.sh "$packages" "$version" "$dir" || status=1

# The benchmark's figures, briefly (a program that prints them, not a timed test:
# its verdict fails nothing here; run it alone for the full measurement).
echo "-- Zorenc.Bench (short run)"
logged "$dir/bench-build.log" dotnet build bindings/dotnet/Zorenc.Bench "${props[@]}" --nologo -v quiet ||
    status=1
dotnet "$dir/bin/Zorenc.Bench/Release/net10.0/Zorenc.Bench.dll" "$ZORENC_SIM" "$ZORENC_LIBRARY" 8 |
    grep -v -e "^connected" -e "^close_handle" || true
exit $status
