#!/bin/bash
# Builds the registry fuzz target with libFuzzer and runs it for a bounded time
# on a copy of the seed corpus; exits non-zero when it finds a fault.
#   tests/fuzz/run.sh [seconds]      (default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/fuzz
seconds=${1:-60}
cxx=${FUZZ_CXX:-clang++-14}
mkdir -p "$out"
cd "$root"

# clang knows no execution charset but UTF-8, so the messages are UTF-8 bytes
# here; no check of the target depends on their encoding.
flags=(-std=c++17 -g -O1 -Wall -Wextra -fno-omit-frame-pointer -fno-sanitize-recover=all -Ihost/include -Ihost -I.)
# The host layer stands in for Windows: sanitized, but not steered for coverage.
for source in host/*.cpp; do
    "$cxx" "${flags[@]}" -fsanitize=address,undefined -c "$source" -o "$out/host_$(basename "$source" .cpp).o"
done
"$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined \
    app/command_line.cpp app/flow.cpp app/main.cpp app/printer_dlg.cpp app/restart.cpp app/unattended.cpp \
    platform/dll_search.cpp platform/event_log.cpp platform/report.cpp \
    registry/*.cpp tests/fuzz/registry_fuzz.cpp \
    "$out"/host_*.o -o "$out/registry_fuzz"

rm -rf "$out/corpus"
cp -r tests/fuzz/corpus "$out/corpus"
status=0
"$out/registry_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" >"$out/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 "$out/fuzz.log"
    echo "fuzz: FAILED (exit $status); the input is kept in $out/" >&2
    exit 1
fi
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$out/fuzz.log"
echo "fuzz: no fault in $seconds s"
