#!/usr/bin/env bash
# End-to-end tests of Brisvane.exe under Wine: builds the x86_64 installer and
# the test driver, then runs every case in tests/wine/cases in a fresh copy of
# one template prefix and compares the transcript with the expected one.
#   tests/wine/run.sh [CASE_NAME...]      (BRISVANE_E2E_JOBS=N: parallel runs)
# A case file holds the driver's script, a line "== expected", and the
# transcript the run must produce: the driver's output followed by the
# installer's traced calls.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/wine
run=$root/build/wine/run
source "$root/scripts/wine-env.sh"
source "$here/lib.sh"

jobs=${BRISVANE_E2E_JOBS:-2}
driver=$root/build/x86_64/tests/wine/brisvane_driver.exe
# BRISVANE_E2E_INSTALLER=/abs/path/Brisvane.exe runs the cases on another build of it, e.g. a release.
installer_path=${BRISVANE_E2E_INSTALLER:-$root/build/x86_64/Brisvane.exe}
installer="Z:${installer_path//\//\\}"
worker_pids=()

cleanup() {
    local pid prefix
    for pid in "${worker_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for prefix in "$run"/prefix-*; do
        [ -d "$prefix" ] && e2e_stop "$prefix"
    done
    for pid in $(cat "$run"/xvfb-*.pid 2>/dev/null); do
        kill "$pid" 2>/dev/null
    done
    wine_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "building..."
if ! { cmake --preset x86_64 && cmake --build --preset x86_64 -j"$(nproc)"; } >"$root/build/wine-build.log" 2>&1; then
    cat "$root/build/wine-build.log"
    echo "0 passed, 1 failed"
    exit 1
fi

rm -rf "$run"
mkdir -p "$run"
wine_start_display || exit 1
echo "preparing the template prefix..."
wine_template_prefix "$root/build/wine/template" || exit 1
e2e_template "$root/build/wine/template" "$root/build/wine/e2e-template" \
    "$root/build/x86_64/tests/wine/restart_stub.exe"
wine_cleanup

# Runs one case on this worker's display; writes its result file.
run_case() {
    local file=$1 name started prefix out elapsed
    name=$(basename "$file" .case)
    prefix=$run/prefix-$name
    out=$run/$name
    started=$(date +%s%N)
    e2e_clone "$root/build/wine/e2e-template" "$prefix"
    sed '/^== expected$/,$d' "$file" >"$out.script"
    sed '1,/^== expected$/d' "$file" >"$out.expected"
    WINEPREFIX=$prefix WINEDEBUG=-all,+relay timeout 120 "$WINE64" "$driver" "$installer" \
        <"$out.script" >"$out.transcript" 2>"$out.stderr"
    local status=$?
    e2e_stop "$prefix"
    rm -rf "$prefix"
    e2e_calls "$out.stderr" >>"$out.transcript"
    elapsed=$((($(date +%s%N) - started) / 100000000))
    elapsed=$((elapsed / 10)).$((elapsed % 10))
    diff -u "$out.expected" "$out.transcript" >"$out.diff"
    if [ $status -eq 0 ] && [ ! -s "$out.diff" ]; then
        echo "PASS $name (${elapsed}s)" | tee "$out.result"
    else
        {
            echo "FAIL $name (${elapsed}s, driver exit $status)"
            sed 's/^/    /' "$out.diff"
        } | tee "$out.result"
    fi
}

worker() {
    local index=$1 n=0 file
    shift
    wine_start_display || return 1
    echo "$_wine_xvfb_pid" >"$run/xvfb-$index.pid"
    for file in "$@"; do
        [ $((n++ % jobs)) -eq "$index" ] && run_case "$file"
    done
    wine_cleanup
}

cases=()
if [ $# -gt 0 ]; then
    for name in "$@"; do cases+=("$here/cases/$name.case"); done
else
    cases=("$here"/cases/*.case)
fi

started=$(date +%s)
for ((i = 0; i < jobs; i++)); do
    worker "$i" "${cases[@]}" &
    worker_pids+=($!)
done
for pid in "${worker_pids[@]}"; do
    wait "$pid"
done
worker_pids=()

passed=$(grep -l '^PASS' "$run"/*.result 2>/dev/null | wc -l)
failed=$((${#cases[@]} - passed))
echo "wine e2e: $((passed + failed)) cases in $(($(date +%s) - started))s; transcripts in build/wine/run"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
