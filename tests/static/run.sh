#!/bin/bash
# Static checks: every tracked C++ source and header is laid out as
# .clang-format says, both Windows builds compile with -Wall -Wextra -Werror, and
# clang-tidy (bugprone-*, cert-*) finds nothing in app/, platform/ and registry/, read
# once against the host layer's headers and once against MinGW's windows.h.
# Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/static
tidy=${CLANG_TIDY:-clang-tidy-14}
cd "$root"
python3 tests/static/links.py  # every relative link in README.md, CHANGELOG.md and docs/*.md leads to a file and heading
tests/static/setup_fallback.sh  # setup.sh's install and its retry, apt-get stood in for

# Includes point one way (docs/developing.md, Layout): platform/ reads res/ alone, registry/ never app/.
if git grep -nE '#include "\.\./(app|registry)/' -- platform res || git grep -nE '#include "\.\./app/' -- registry; then exit 1; fi

# clang-format 14 exactly: another version lays some lines out otherwise.
format=${CLANG_FORMAT:-clang-format-14}
"$format" --version >/dev/null
mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for file in "${files[@]}"; do
    "$format" --dry-run --Werror "$file" 2>/dev/null || unformatted+=("$file")
done
[ ${#unformatted[@]} -eq 0 ] || { echo "static: $format -i would change ${unformatted[*]}" >&2; exit 1; }
echo "static: ${#files[@]} C++ files laid out as .clang-format says"

for arch in i686 x86_64; do
    cmake -S . -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON --no-warn-unused-cli >/dev/null
    cmake --build "$out/$arch" --target Brisvane BrisvaneActions -j2 >"$out/$arch.log" 2>&1 || { cat "$out/$arch.log"; exit 1; }
    echo "static: $arch build clean with -Wall -Wextra -Werror"
done

# Each platform's package from these builds, read from its tables: what only
# the 32-bit one shows (its program in the 32-bit Program Files and registry
# view) must hold also where its Wine case cannot run, and the product code of
# a version, which deployed computers know it by, never changes.
expected=$(tr '|' '\t' <<'ROWS'
Brisvane.exe|{8E0F7B8A-2C8F-4E0D-A4B2-3F1C9D6E5A71}|INSTALLFOLDER|0||Brisvane.exe
INSTALLFOLDER|ProgramFilesFolder|Brisvane
ProductCode|{C78AF712-D20F-5052-8C7F-1498D63C70C5}
Template: Intel;1049
Brisvane.exe|{1D19320A-DFFB-4C88-AA85-1FE94DB0BE4E}|INSTALLFOLDER|256||Brisvane.exe
INSTALLFOLDER|ProgramFiles64Folder|Brisvane
ProductCode|{81285AAC-5CA4-5C00-847D-6731BC6130DC}
Template: x64;1049
ROWS
)
for platform in x86:i686 x64:x86_64; do
    package/build-msi.sh "${platform%:*}" "$out/${platform#*:}" "$out/${platform%:*}.msi" >/dev/null
    for table in Component Directory Property; do
        msiinfo export "$out/${platform%:*}.msi" $table | tr -d '\r' | grep -E '^(Brisvane.exe|INSTALLFOLDER|ProductCode)\s'
    done
    msiinfo suminfo "$out/${platform%:*}.msi" | grep '^Template'
done | diff -u <(echo "$expected") - || { echo "static: the packages' platform rows differ" >&2; exit 1; }
echo "static: the x86 and x64 packages' platform, program folder, components and product codes"

cmake -S . -B "$out/host" -DBRISVANE_HOST=ON -DBRISVANE_SANITIZE=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# clang reads and writes UTF-8 only, and knows none of the size options of
# GCC; neither changes a finding.
for db in host i686; do
    mkdir -p "$out/tidy-$db"
    sed -e 's/ -fexec-charset=CP1251//' -e 's/ -malign-data=abi//' -e 's/ -mno-accumulate-outgoing-args//' "$out/$db/compile_commands.json" >"$out/tidy-$db/compile_commands.json"
done
sources=(app/*.cpp platform/*.cpp registry/*.cpp)
host_sources=()
for source in "${sources[@]}"; do
    case $source in
    app/startup.cpp | platform/user32.cpp) ;;  # the Windows builds only
    *) host_sources+=("$source") ;;
    esac
done
for db in host i686; do
    [ "$db" = host ] && files=("${host_sources[@]}") || files=("${sources[@]}")
    if ! "$tidy" --quiet --config-file=tests/static/.clang-tidy -p "$out/tidy-$db" "${files[@]}" \
        >"$out/tidy-$db.log" 2>&1; then
        grep -v 'warnings generated' "$out/tidy-$db.log"
        echo "static: clang-tidy findings (compile database: $db)" >&2
        exit 1
    fi
done
echo "static: clang-tidy found nothing in ${#sources[@]} sources"
