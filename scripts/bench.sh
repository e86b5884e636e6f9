#!/usr/bin/env bash
# Builds what it measures and prints the installer's figures, each beside its
# goal:
#   1. footprint of the shipping build (i686 Brisvane.exe) and its imports;
#   2. registry calls per road, counted on the host layer, against the fewest
#      each road needs;
#   3. discovery over 10 to 10,000 printers, on the host layer and under Wine
#      on the real registry, against a plain loop of the same calls;
#   4. time from process start to the first dialog under Wine, against a
#      program that shows one empty dialog built for the same architecture:
#      the i686 build on a 32-bit Windows, then the x86_64 build on a 64-bit
#      one;
#   5. wall time of an unattended /off under Wine, start to exit, against a
#      program that opens one key and writes one value.
# Timings are medians of alternated runs, quoted as ratios where the machine
# may be busy. Not a test: nothing here fails on a slow figure.
# Usage: scripts/bench.sh  (after scripts/setup.sh; about two to five minutes)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=build/bench
log=$out/build.log
mkdir -p "$out"
: >"$log"

# Bounded runs: a Windows program that hangs must not hang the benchmark.
WINE_TIMEOUT=${WINE_TIMEOUT:-240}

step() {
    if ! "$@" >>"$log" 2>&1; then
        echo "bench: failed: $*" >&2
        tail -n 30 "$log" >&2
        exit 1
    fi
}

heading() {
    printf '\n== %s\n' "$1"
}

verdict() {  # verdict CONDITION-EXIT-STATUS
    if [ "$1" -eq 0 ]; then echo ok; else echo OVER; fi
}

# ---- 1. Footprint --------------------------------------------------------
heading "1. Footprint of build/i686/Brisvane.exe (shipping build, every resource included)"
step cmake --preset i686
step cmake --build --preset i686
exe=build/i686/Brisvane.exe
bytes=$(stat -c %s "$exe")
goal=22528
[ "$bytes" -le "$goal" ]; ok=$?
printf '  file size      %6d bytes (%d.%d KiB)   goal <= %d (22 KiB)   %s\n' \
    "$bytes" $((bytes / 1024)) $((bytes % 1024 * 10 / 1024)) "$goal" "$(verdict $ok)"
while read -r _ section size _; do
    printf '  section %-7s %6d bytes\n' "$section" $((16#$size))
done < <(i686-w64-mingw32-objdump -h "$exe" | grep -E '^ +[0-9]+ +\.')

# DLLs present on every Windows the installer supports; anything else would
# have to travel with it.
system_dlls=" kernel32.dll user32.dll advapi32.dll gdi32.dll ntdll.dll msvcrt.dll shell32.dll comctl32.dll comdlg32.dll ole32.dll oleaut32.dll shlwapi.dll version.dll "
foreign=0
while read -r dll functions; do
    lower=$(echo "$dll" | tr '[:upper:]' '[:lower:]')
    if [[ "$system_dlls" == *" $lower "* ]]; then
        kind="system DLL"
    else
        kind="NOT A SYSTEM DLL"
        foreign=1
    fi
    printf '  imports %-13s %-16s %2d: %s\n' "$dll" "$kind" "$(echo "$functions" | tr ',' '\n' | grep -c .)" \
        "${functions//,/, }"
done < <(i686-w64-mingw32-objdump -p "$exe" | awk '
    /DLL Name:/ { if (dll != "") print dll, names; dll = $3; names = ""; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { names = names (names == "" ? "" : ",") $NF }
    END { if (dll != "") print dll, names }')
printf '  imports only system DLLs: %s\n' "$([ $foreign -eq 0 ] && echo "yes   ok" || echo "NO   OVER")"

# ---- 2 and 3a. Host layer ------------------------------------------------
step cmake -S bench -B "$out/host" -DCMAKE_BUILD_TYPE=Release
step cmake --build "$out/host" -j2

heading "2. Registry calls per road (host layer), made/minimum per kind"
"$out/host/road_calls"

heading "3a. Discovery, host layer, only the last printer supported (Google Benchmark, CPU time, medians of 9 interleaved repetitions)"
"$out/host/discovery_host" --benchmark_min_time=0.05

# ---- 3b and 4. Wine ------------------------------------------------------
step cmake --preset x86_64
step cmake --build --preset x86_64 --target Brisvane
step cmake -S bench -B "$out/win64" --toolchain "$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
step cmake --build "$out/win64" -j2
step cmake -S bench -B "$out/win32" --toolchain "$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
step cmake --build "$out/win32" -j2 --target first_dialog empty_dialog unattended_wall minimal_write

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
template=$root/$out/template
prefix=$root/$out/prefix
template32=$root/$out/template-win32
prefix32=$root/$out/prefix-win32
cleanup() {
    wine_stop_prefix "$prefix"
    wine_stop_prefix "$template"
    wine_stop_prefix "$prefix32"
    wine_stop_prefix "$template32"
    wine_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_start_display
wine_template_prefix "$template"
wine_template_prefix "$template32" win32
# A fresh copy per run: discovery seeds its printer lists (11,110 keys) into it.
wine_clone_prefix "$template" "$prefix"
wine_clone_prefix "$template32" "$prefix32"
export WINEPREFIX=$prefix

# In the background and waited for by PID, so that an interrupt reaches the
# cleanup at once rather than after the program; Wine writes CR LF.
run_windows() {
    { timeout "$WINE_TIMEOUT" "$WINE64" "$@" | tr -d '\r'; } &
    wait $!
}

run_windows32() {
    { timeout "$WINE_TIMEOUT" "$WINE" "$@" | tr -d '\r'; } &
    wait $!
}

windows_path() {
    local path=$1
    echo "Z:${path//\//\\}"
}

heading "3b. Discovery under Wine, real registry, only the last printer supported (medians of 9 rounds, sizes and walks taking turns)"
run_windows "$out/win64/discovery_wine.exe" 9 0.04
echo "  (ratio: median of the rounds' product/bare ratios, goal <= 1.10)"

heading "4a. Time to the first dialog, i686 build (shipping) on a 32-bit Windows, against an i686 empty dialog program"
WINEPREFIX=$prefix32 run_windows32 "$out/win32/first_dialog.exe" \
    "$(windows_path "$root/build/i686/Brisvane.exe")" \
    "$(windows_path "$root/$out/win32/empty_dialog.exe")" 21

heading "5. Unattended /off, i686 build on a 32-bit Windows, process start to exit, against a program that writes one value"
WINEPREFIX=$prefix32 run_windows32 "$out/win32/unattended_wall.exe" \
    "$(windows_path "$root/build/i686/Brisvane.exe")" \
    "$(windows_path "$root/$out/win32/minimal_write.exe")" 41
wine_stop_prefix "$prefix32"

heading "4b. Time to the first dialog, x86_64 build on a 64-bit Windows, against an x86_64 empty dialog program"
run_windows "$out/win64/first_dialog.exe" \
    "$(windows_path "$root/build/x86_64/Brisvane.exe")" \
    "$(windows_path "$root/$out/win64/empty_dialog.exe")" 21
