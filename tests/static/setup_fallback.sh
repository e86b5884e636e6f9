#!/bin/bash
# scripts/setup.sh where every package is missing, with the commands that would
# change the machine stood in for on a PATH of its own: nothing is installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d) && mkdir "$dir/bin"
trap 'rm -rf "$dir"' EXIT
stub() { printf '#!/bin/bash\n%s\n' "$2" >"$dir/bin/$1" && chmod +x "$dir/bin/$1"; }
stub sudo 'exec "$@"'
stub dpkg-query 'exit 1'  # no package is installed
stub dpkg 'echo i386'     # the i386 architecture is added
stub locale 'printf "%s\n" C.utf8 en_US.utf8 ja_JP.utf8 ru_RU.utf8'
for tool in locale-gen sed tee mount; do stub "$tool" 'echo "would change the machine: ${0##*/} $*" >&2; exit 1'; done
# Logs each call without its packages; the first install ends with $FIRST, all else with 0.
stub apt-get '[[ " $* " =~ " -t "([^ ]+) ]] && echo "$1 -t ${BASH_REMATCH[1]}" >>"$CALLS" || echo "$1" >>"$CALLS"
[[ $1 != install || " $* " == *" -t "* ]] || exit "$FIRST"'
failed=0
row() {  # name, the first install's exit code, os-release; then the exit code, apt-get calls and retry line expected
    local status=0 got
    printf '%s\n' "$3" >"$dir/os-release" && : >"$dir/calls"
    CALLS=$dir/calls FIRST=$2 BRISVANE_OS_RELEASE=$dir/os-release BRISVANE_WINE32_PROBE=true PATH="$dir/bin:$PATH" \
        "$root/scripts/setup.sh" >"$dir/out" 2>&1 || status=$?
    got="$status | $(paste -sd' ' "$dir/calls") | $(grep '^setup: the install failed' "$dir/out" || true)"
    [ "$got" = "$4 | $5 | $6" ] || { echo "setup.sh, $1: got '$got'" >&2 && cat "$dir/out" >&2 && failed=1; }
}
row "a first install that succeeds" 0 VERSION_CODENAME=trixie 0 "update install" ""
row "a first install that fails" 100 VERSION_CODENAME=trixie 0 "update install install -t trixie" \
    "setup: the install failed; installing again from trixie alone (-t trixie)"
row "no codename" 100 ID=debian 1 "update install" ""
[ "$failed" -eq 0 ] || exit 1
echo "static: setup.sh installs once, retries from os-release's codename, stops without one"
