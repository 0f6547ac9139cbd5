#!/usr/bin/env bash
# Installs the built Zorenc package into two fresh programs, in a folder of
# their own with their own NuGet.config (the package's folder, the offline
# folder, the default feed) and their own package cache, so that no source
# tree and no cached older package takes part; the folder goes afterwards.
#   consumers.sh PACKAGES VERSION WORK     (WORK: a folder under build/)
#   console  (net10.0): finds ("auto") and runs a simulated board ($ZORENC_SIM) on Linux
#   framework (net472, AnyCPU): builds; both Windows DLLs and their companions must be
#   in its output
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages=$(realpath "$1")
version=$2
work=$(mktemp -d "$(realpath "$3")/consumers.XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

cat >"$work/NuGet.config" <<CONFIG
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <packageSources>
    <clear />
    <add key="built" value="$packages" />
    <add key="offline" value="/opt/nuget/packages" />
    <add key="nuget.org" value="https://api.nuget.org/v3/index.json" protocolVersion="3" />
  </packageSources>
</configuration>
CONFIG
export NUGET_PACKAGES=$work/packages
cp -r "$here/console" "$here/framework" "$work/"
status=0

quietly() { # command...: its output only when it fails
    "$@" >"$work/log" 2>&1 || { cat "$work/log"; return 1; }
}

# Adds the package (restoring it) and builds.
consume() { # project folder
    quietly dotnet add "$1" package Zorenc --version "$version" &&
        quietly dotnet build "$1" -c Release --nologo -nodeReuse:false
}

if consume "$work/console"; then
    dotnet "$work/console/bin/Release/net10.0/Consumer.dll" "$ZORENC_SIM" |
        grep -v -e "^connected" -e "^close_handle" || { echo "FAIL: the console consumer"; status=1; }
else
    echo "FAIL: the console consumer did not build with Zorenc $version"
    status=1
fi

if consume "$work/framework"; then
    output=$work/framework/bin/Release/net472
    for dll in zorenc_x64.dll zorenc_x32.dll zorenc_tools_x64.dll zorenc_tools_x32.dll; do
        if [ -f "$output/$dll" ]; then
            echo "framework consumer: $dll in its output"
        else
            echo "FAIL: the net472 consumer's output has no $dll"
            status=1
        fi
    done
else
    echo "FAIL: the net472 consumer did not build"
    status=1
fi
exit $status
