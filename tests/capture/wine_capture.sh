#!/usr/bin/env bash
# zorenc.exe --capture under Wine against zorenc-sim on COM7: the file, named
# by a Windows path, must hold the request and its decoded reply on COM7.
# usage: wine_capture.sh RUN_SH WINE_ROOT DLL_DIR SIM EXE LUA OUT_FILE
set -euo pipefail
run=$1 root=$2 dlls=$3 sim=$4 exe=$5 lua=$6 out=$7
rm -f "$out"
bash "$run" --root "$root" --dll-dir "$dlls" --sim "$sim" -- \
    "$exe" --port COM7 --capture "Z:${out//\//\\}" read 0xF000 >/dev/null
fields=$(tshark -X "lua_script:$lua" -r "$out" -T fields -E separator=, -e frame.interface_name \
    -e zorenc.kind -e zorenc.register -e zorenc.decoded 2>/dev/null | tr '\n' ' ')
rm -f "$out"
expected="COM7,request,REG_FIRMWARE_VERSION, COM7,reply,REG_FIRMWARE_VERSION,1.5 "
[ "$fields" = "$expected" ] || { echo "got: $fields" >&2; exit 1; }
