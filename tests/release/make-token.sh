#!/usr/bin/env bash
# Makes a SoftHSM2 token for the release tests, as a publisher's USB token
# would hold a key that never leaves it:
#   TOKEN_PIN=... tests/release/make-token.sh DIR LABEL NAME.key...
# The token lives in DIR; SOFTHSM2_CONF=DIR/softhsm2.conf points SoftHSM at
# it. Each key is written as a private key labelled NAME. Prints the path of
# the PKCS#11 module. The PIN goes to p11tool in GNUTLS_PIN, never on a
# command line.
set -euo pipefail
dir=$1 label=$2
shift 2
module=/usr/lib/softhsm/libsofthsm2.so
mkdir -p "$dir/tokens"
printf '%s\n' "directories.tokendir = $dir/tokens" 'objectstore.backend = file' 'log.level = ERROR' \
    >"$dir/softhsm2.conf"
export SOFTHSM2_CONF=$dir/softhsm2.conf
GNUTLS_SO_PIN=$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')
export GNUTLS_SO_PIN GNUTLS_PIN=$TOKEN_PIN
p11() {
    p11tool --provider "$module" "$@" </dev/null >>"$dir/p11tool.log" 2>&1 || {
        cat "$dir/p11tool.log" >&2
        exit 1
    }
}
p11 --initialize --label "$label" 'pkcs11:model=SoftHSM%20v2'
token="pkcs11:token=${label// /%20}"
p11 --initialize-pin "$token"
id=0
for key in "$@"; do
    id=$((id + 1))
    p11 --login --write --load-privkey "$key" --label "$(basename "$key" .key)" --id "$(printf '%02x' "$id")" \
        "$token"
done
echo "$module"
