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
    cmake --build "$out/$arch" --target Brisvane -j2 >"$out/$arch.log" 2>&1 || { cat "$out/$arch.log"; exit 1; }
    echo "static: $arch build clean with -Wall -Wextra -Werror"
done

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
