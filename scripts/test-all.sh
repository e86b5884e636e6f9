#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the three configurations,
# then the unit tests, the checks of the built executables, the fuzzer, the
# static checks, the end-to-end tests under Wine, the demo and the release.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || exit 1

passed=0
failed=0
run() {
    local name=$1
    shift
    echo "==== $name"
    if "$@"; then
        echo "==== $name: passed"
        passed=$((passed + 1))
    else
        echo "==== $name: FAILED"
        failed=$((failed + 1))
    fi
}

build() {
    mkdir -p build
    if cmake --preset "$1" >"build/$1.log" 2>&1 && cmake --build --preset "$1" -j"$(nproc)" >>"build/$1.log" 2>&1; then
        ls -l "build/$1/Brisvane.exe"
    else
        cat "build/$1.log"
        return 1
    fi
}

reproducible() {
    # A second build from a fresh tree must give the same bytes.
    rm -rf build/i686-again
    cmake -S . -B build/i686-again -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
        >/dev/null && cmake --build build/i686-again >/dev/null &&
        cmp build/i686/Brisvane.exe build/i686-again/Brisvane.exe && echo "Brisvane.exe builds reproducibly"
}

run "host unit tests" bash -c 'cmake --preset host >/dev/null && cmake --build --preset host -j"$(nproc)" >/dev/null && ctest --preset host'
run "i686 build" build i686
run "x86_64 build" build x86_64
run "i686 executable" python3 tests/resources/check_exe.py build/i686/Brisvane.exe --machine i386
run "x86_64 executable" python3 tests/resources/check_exe.py build/x86_64/Brisvane.exe --machine amd64
run "i686 custom action DLL" python3 tests/resources/check_exe.py build/i686/BrisvaneActions.dll --machine i386 --dll
run "reproducible build" reproducible
[ -x tests/static/run.sh ] && run "static checks" tests/static/run.sh
[ -x tests/fuzz/run.sh ] && run "fuzzing" tests/fuzz/run.sh
[ -x tests/wine/run.sh ] && run "end-to-end under Wine" tests/wine/run.sh
# The README's first command, as it runs where nobody sees a screen: it ends
# non-zero unless every dialog appeared and the registry went there and back.
run "demo, headless" env -u DISPLAY scripts/demo.sh
run "release" tests/release/run.sh

echo
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
