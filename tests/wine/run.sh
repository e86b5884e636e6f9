#!/usr/bin/env bash
# End-to-end tests of Brisvane.exe under Wine: builds the installer and the
# test driver, then runs every case in tests/wine/cases in each configuration,
# each time in a fresh copy of one template prefix per Windows architecture,
# and compares the transcript with the expected one.
#   tests/wine/run.sh [CASE_NAME...]
# Configurations, in this order (BRISVANE_E2E_CONFIGS: a space-separated
# subset):
#   i686-win32    the shipping i686 build on 32-bit Windows
#   i686-win64    the i686 build on 64-bit Windows, where its HKLM\SOFTWARE is
#                 the 32-bit view; no key of it may appear in the 64-bit view
#   x86_64-win64  the x86_64 build of the same sources on 64-bit Windows
# BRISVANE_E2E_INSTALLER: an absolute path of the i686 Brisvane.exe to test in
# the i686 configurations instead of build/i686/Brisvane.exe.
# BRISVANE_E2E_JOBS=N: parallel runs within a configuration (default 2).
# BRISVANE_E2E_TRIES=N: runs of a case in which qemu crashed (default 3).
# BRISVANE_E2E_MSI_UNDER_QEMU=1: the installer package's case also where
# qemu runs 32-bit code, which it otherwise skips.
# The installer package's case takes packages of the executable's version and
# of a newer one for the upgrade, and finds them at C:\deploy\Brisvane.msi and
# C:\deploy\next\Brisvane.msi: in the i686 configurations the shipping 32-bit
# ones that scripts/release.sh makes from the committed tree, in x86_64-win64
# the 64-bit ones of the x86_64 build, which Wine's 64-bit msiexec runs
# natively also where 32-bit code runs under qemu.
# A case file holds the driver's script, a line "== expected", and the
# transcript the run must produce: the driver's output followed by the
# installer's traced calls. Each configuration runs the driver built for the
# installer's architecture, so that it sees the registry view the installer
# sees.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/wine
run=$root/build/wine/run
source "$root/scripts/wine-env.sh"
source "$here/lib.sh"

jobs=${BRISVANE_E2E_JOBS:-2}
tries=${BRISVANE_E2E_TRIES:-3}
msi_cases=" 15-msi-package "
next_version=1.1.0.0
read -r -a configs <<<"${BRISVANE_E2E_CONFIGS:-i686-win32 i686-win64 x86_64-win64}"
i686_installer=${BRISVANE_E2E_INSTALLER:-$root/build/i686/Brisvane.exe}
worker_pids=()

give_up() {
    echo "$1" >&2
    echo "0 passed, 1 failed"
    exit 1
}

windows_path() {
    echo "Z:${1//\//\\}"
}

for config in "${configs[@]}"; do
    case $config in
    i686-win32 | i686-win64 | x86_64-win64) ;;
    *) give_up "unknown configuration $config (known: i686-win32 i686-win64 x86_64-win64)" ;;
    esac
done
[ ${#configs[@]} -gt 0 ] || give_up "BRISVANE_E2E_CONFIGS names no configuration"
if [ -n "${BRISVANE_E2E_INSTALLER:-}" ] && { [[ "$i686_installer" != /* ]] || [ ! -f "$i686_installer" ]; }; then
    give_up "BRISVANE_E2E_INSTALLER must be the absolute path of an existing file: $i686_installer"
fi

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

# A 64-bit prefix carries the restart stub of both architectures.
windows=" ${configs[*]/#*-/} "
builds=" ${configs[*]/%-*/} "
[[ "$windows" == *" win64 "* ]] && builds+=" i686 x86_64 "
echo "building..."
mkdir -p "$root/build"
: >"$root/build/wine-build.log"
for arch in i686 x86_64; do
    [[ "$builds" == *" $arch "* ]] || continue
    if ! { cmake --preset "$arch" && cmake --build --preset "$arch" -j"$(nproc)"; } >>"$root/build/wine-build.log" 2>&1; then
        cat "$root/build/wine-build.log"
        give_up "the $arch build failed"
    fi
done

cases=()
if [ $# -gt 0 ]; then
    for name in "$@"; do cases+=("$here/cases/$name.case"); done
else
    cases=("$here"/cases/*.case)
fi

# Unsigned, whatever signing variables the caller has set, and beside dist/
# rather than over a release there.
packages=$root/build/wine/packages
needs_packages=
for file in "${cases[@]}"; do
    [[ "$msi_cases" == *" $(basename "$file" .case) "* ]] && needs_packages=1
done
if [ -n "$needs_packages" ]; then
    echo "building the installer packages..."
    rm -rf "$packages"
    for version in "" "$next_version"; do
        if ! { [[ " ${configs[*]}" != *" i686-"* ]] ||
            BRISVANE_SIGN_PFX= BRISVANE_SIGN_PKCS11_MODULE= BRISVANE_SIGN_KEY= BRISVANE_SIGN_CERT= \
                BRISVANE_MSI_VERSION=$version BRISVANE_RELEASE_DIR="$packages/i686/${version:+next}" \
                "$root/scripts/release.sh"; } >>"$root/build/wine-build.log" 2>&1 ||
            ! { [[ " ${configs[*]} " != *" x86_64-win64 "* ]] || (cd "$root" && BRISVANE_MSI_VERSION=$version \
                package/build-msi.sh x64 build/x86_64 "$packages/x86_64/${version:+next/}Brisvane.msi"); } \
                >>"$root/build/wine-build.log" 2>&1; then
            cat "$root/build/wine-build.log"
            give_up "the installer packages could not be built"
        fi
    done
fi

rm -rf "$run"
mkdir -p "$run"
wine_start_display || exit 1
echo "preparing the template prefixes..."
template_pids=()
for arch in win32 win64; do
    [[ "$windows" == *" $arch "* ]] || continue
    wine_template_prefix "$root/build/wine/template-$arch" "$arch" &
    template_pids+=($!)
done
for pid in "${template_pids[@]}"; do
    wait "$pid" || exit 1
done
if [[ "$windows" == *" win32 "* ]]; then
    e2e_template "$root/build/wine/template-win32" "$root/build/wine/e2e-win32" \
        "$root/build/i686/tests/wine/restart_stub.exe"
fi
if [[ "$windows" == *" win64 "* ]]; then
    e2e_template "$root/build/wine/template-win64" "$root/build/wine/e2e-win64" \
        "$root/build/x86_64/tests/wine/restart_stub.exe" "$root/build/i686/tests/wine/restart_stub.exe"
fi
wine_cleanup

# The keys the installer writes, as sections of a 64-bit prefix's system.reg
# outside the 32-bit view (which lies below Software\Wow6432Node).
view_check() {
    grep -iE '^\[Software\\\\(Brisvane|Merravin)(\\\\|\])' "$1/system.reg" |
        sed 's/^/    in the 64-bit view: /'
}

# Runs one case of one configuration on this worker's display; writes its
# result file.
run_case() {
    local config=$1 file=$2 arch name started prefix out elapsed loader installer
    arch=${config%-*}
    name=$(basename "$file" .case)
    prefix=$run/prefix-$config-$name
    out=$run/$config/$name
    loader=$WINE64
    installer=$root/build/x86_64/Brisvane.exe
    if [ "$arch" = i686 ]; then
        loader=$WINE
        installer=$i686_installer
    fi
    # Where qemu-user runs the 32-bit side, Wine's msiexec hangs, or its
    # custom action server dies in a call back to the installation, in most
    # runs of this case (so at the commit before the package's restart moved
    # out of the deferred actions, too): there it proves nothing either way.
    if [[ "$msi_cases" == *" $name "* ]] && [ "$arch" = i686 ] && _wine_under_qemu && [ "${BRISVANE_E2E_MSI_UNDER_QEMU:-}" != 1 ]; then
        echo "SKIP $config $name (32-bit code runs under qemu here, where Wine's msiexec is unreliable;" \
            "BRISVANE_E2E_MSI_UNDER_QEMU=1 runs it all the same)" | tee "$out.result"
        return
    fi
    # NAME@LOCALE.case, a link to a case, repeats it with LANG=LOCALE, on its code page; Wine's own texts stay Russian.
    [[ "$name" != *@* ]] || local -x LC_ALL= LANG="${name#*@}" LC_MESSAGES=ru_RU.UTF-8
    started=$(date +%s%N)
    local try
    for ((try = 1; try <= tries; try++)); do
        e2e_clone "$root/build/wine/e2e-${config#*-}" "$prefix"
        if [[ "$msi_cases" == *" $name "* ]]; then
            mkdir -p "$prefix/drive_c/deploy/next"
            cp "$packages/$arch/Brisvane.msi" "$prefix/drive_c/deploy/"
            cp "$packages/$arch/next/Brisvane.msi" "$prefix/drive_c/deploy/next/"
        fi
        sed '/^== expected$/,$d' "$file" >"$out.script"
        sed '1,/^== expected$/d' "$file" >"$out.expected"
        # The installer package's case also traces the Windows Installer, whose
        # custom actions and MsiSetMode calls e2e_calls reads.
        local trace=-all,+relay,+loaddll,+eventlog limit=120
        [[ "$msi_cases" != *" $name "* ]] || trace+=${BRISVANE_E2E_MSI_TRACE-,+msi} limit=900
        WINEPREFIX=$prefix WINEDEBUG=$trace timeout $limit "$loader" "$root/build/$arch/tests/wine/brisvane_driver.exe" \
            "$(windows_path "$installer")" <"$out.script" >"$out.transcript" 2>"$out.stderr"
        local status=$?
        e2e_stop "$prefix"
        [ "$config" = i686-win64 ] && view_check "$prefix" >"$out.views"
        rm -rf "$prefix"
        e2e_calls "$out.stderr" >>"$out.transcript"
        [[ "$msi_cases" != *" $name "* ]] || e2e_package_rows "$packages/$arch" "$out.transcript"
        diff -u "$out.expected" "$out.transcript" >"$out.diff"
        # qemu-user, where it runs the 32-bit side, now and then dies of a
        # signal in one of Wine's processes; such a run proves nothing either
        # way and is run again. A failure without that crash fails at once.
        [ -s "$out.diff" ] && [ "$arch" = i686 ] && grep -aq '^qemu: uncaught target signal' "$out.stderr" || break
        echo "RETRY $config $name: qemu crashed in one of Wine's processes (try $try)"
    done
    elapsed=$((($(date +%s%N) - started) / 100000000))
    elapsed=$((elapsed / 10)).$((elapsed % 10))
    if [ $status -eq 0 ] && [ ! -s "$out.diff" ] && [ ! -s "$out.views" ]; then
        echo "PASS $config $name (${elapsed}s)" | tee "$out.result"
    else
        {
            echo "FAIL $config $name (${elapsed}s, driver exit $status)"
            sed 's/^/    /' "$out.diff"
            cat "$out.views" 2>/dev/null
        } | tee "$out.result"
    fi
}

worker() {
    local config=$1 index=$2 n=0 file
    shift 2
    wine_start_display || return 1
    echo "$_wine_xvfb_pid" >"$run/xvfb-$config-$index.pid"
    for file in "$@"; do
        [ $((n++ % jobs)) -eq "$index" ] && run_case "$config" "$file"
    done
    wine_cleanup
}

started=$(date +%s)
summary=()
for config in "${configs[@]}"; do
    echo "== $config"
    mkdir -p "$run/$config"
    config_started=$(date +%s)
    for ((i = 0; i < jobs; i++)); do
        worker "$config" "$i" "${cases[@]}" &
        worker_pids+=($!)
    done
    for pid in "${worker_pids[@]}"; do
        wait "$pid"
    done
    worker_pids=()
    passed=$(grep -l '^PASS' "$run/$config"/*.result 2>/dev/null | wc -l)
    skipped=$(grep -l '^SKIP' "$run/$config"/*.result 2>/dev/null | wc -l)
    line="$config: $passed of $((${#cases[@]} - skipped)) passed"
    [ "$skipped" -eq 0 ] || line+=", $skipped skipped"
    summary+=("$line in $(($(date +%s) - config_started))s")
done

echo
printf 'wine e2e: %s\n' "${summary[@]}"
passed=$(grep -l '^PASS' "$run"/*/*.result 2>/dev/null | wc -l)
skipped=$(grep -l '^SKIP' "$run"/*/*.result 2>/dev/null | wc -l)
failed=$((${#cases[@]} * ${#configs[@]} - passed - skipped))
echo "wine e2e: $((passed + failed)) runs in $(($(date +%s) - started))s; transcripts in build/wine/run"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
