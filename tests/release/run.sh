#!/usr/bin/env bash
# Tests of scripts/release.sh with throwaway certificates that openssl makes
# here: a signed release verifies, checks out and still runs under Wine, each
# bad certificate is refused without leaving a Brisvane.exe in dist/, the
# password shows on no command line and in no output, and two unsigned
# releases of one commit are byte-identical.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

tmp=$root/build/release-test
rm -rf "$tmp"
mkdir -p "$tmp/shims"
failed=0
fail() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}

# Spaces, quotes and a dollar sign: a password that any careless quoting would mangle or show.
password='brisvane test $ign "pass" word'

# The tools that get the password record their arguments, so that the test can show it was never among them.
for tool in openssl osslsigncode; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/argv.log"\nexec %s "$@"\n' "$tmp" "$(command -v "$tool")" \
        >"$tmp/shims/$tool"
    chmod +x "$tmp/shims/$tool"
done

# make_cert NAME EXTENDED_KEY_USAGE START END: a self-signed certificate in
# NAME.pem and, with its key, in NAME.pfx. openssl ca is the one command of
# OpenSSL 3.0 that sets any validity period, so it also makes the expired one.
make_cert() {
    local name=$1 usage=$2 start=$3 end=$4
    printf '%s\n' '[ca]' 'default_ca = test' '[test]' "database = $tmp/index.txt" "serial = $tmp/serial" \
        "new_certs_dir = $tmp" 'default_md = sha256' 'policy = any' '[any]' 'commonName = supplied' \
        '[usage]' "extendedKeyUsage = $usage" >"$tmp/ca.cnf"
    : >"$tmp/index.txt"
    echo 01 >"$tmp/serial"
    openssl req -new -newkey rsa:2048 -nodes -keyout "$tmp/$name.key" -subj "/CN=Brisvane test $name" \
        -out "$tmp/$name.csr" 2>/dev/null &&
        openssl ca -batch -config "$tmp/ca.cnf" -selfsign -keyfile "$tmp/$name.key" -in "$tmp/$name.csr" \
            -startdate "$start" -enddate "$end" -extensions usage -notext -out "$tmp/$name.pem" 2>/dev/null &&
        PASSWORD=$password openssl pkcs12 -export -inkey "$tmp/$name.key" -in "$tmp/$name.pem" \
            -out "$tmp/$name.pfx" -passout env:PASSWORD
}
now=$(date -u +%Y%m%d%H%M%SZ)
soon=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
make_cert good codeSigning "$now" "$soon" &&
    make_cert tls serverAuth "$now" "$soon" &&
    make_cert expired codeSigning 20200101000000Z 20210101000000Z || {
    echo "FAIL: openssl could not make the test certificates"
    exit 1
}
head -c 2048 /dev/urandom >"$tmp/garbage.pfx"

# release NAME [VAR=VALUE...]: runs the release with only the given certificate variables.
release() {
    local name=$1
    shift
    env -u BRISVANE_SIGN_PFX -u BRISVANE_SIGN_PASSWORD -u BRISVANE_TIMESTAMP_URL PATH="$tmp/shims:$PATH" "$@" \
        scripts/release.sh >"$tmp/$name.out" 2>"$tmp/$name.err"
}

echo "-- two unsigned releases of one commit"
if release unsigned-1 && cp dist/Brisvane.exe dist/SHA256SUMS "$tmp/" && release unsigned-2; then
    cmp "$tmp/Brisvane.exe" dist/Brisvane.exe && cmp "$tmp/SHA256SUMS" dist/SHA256SUMS ||
        fail "two unsigned releases differ"
    grep -q 'UNSIGNED' "$tmp/unsigned-2.out" || fail "an unsigned release does not say that it is unsigned"
    (cd dist && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c rejects the unsigned release"
else
    fail "unsigned release: $(cat "$tmp"/unsigned-*.err)"
fi

echo "-- a signed release"
if release signed BRISVANE_SIGN_PFX="$tmp/good.pfx" BRISVANE_SIGN_PASSWORD="$password"; then
    osslsigncode verify -CAfile "$tmp/good.pem" -in dist/Brisvane.exe >"$tmp/verify.out" 2>&1 &&
        grep -q 'Subject: /CN=Brisvane test good' "$tmp/verify.out" ||
        fail "osslsigncode verify rejects the signed release: $(tail -3 "$tmp/verify.out")"
    (cd dist && sha256sum -c SHA256SUMS) || fail "sha256sum -c rejects the signed release"
    python3 tests/resources/check_exe.py dist/Brisvane.exe --machine i386 || fail "the signed executable's checks"
    cmp -s dist/Brisvane.exe "$tmp/Brisvane.exe" && fail "the signed release is the unsigned file"
    cp dist/Brisvane.exe "$tmp/signed.exe"
    # The signed file still runs: the switch-off round on a 32-bit Windows.
    BRISVANE_E2E_CONFIGS=i686-win32 BRISVANE_E2E_INSTALLER="$root/dist/Brisvane.exe" \
        tests/wine/run.sh 07-switch-off-restart || fail "the signed release under Wine"
else
    fail "signed release: $(cat "$tmp/signed.err")"
fi

echo "-- refusals"
# name | certificate file | password | timestamp server | what the last line of stderr says
refusals=(
    "missing|$tmp/none.pfx|$password||cannot read the certificate file"
    "garbage|$tmp/garbage.pfx|$password||not a PKCS#12 file"
    "password|$tmp/good.pfx|not the password||wrong password"
    "usage|$tmp/tls.pfx|$password||is not for code signing"
    "expired|$tmp/expired.pfx|$password||expired on"
    "timestamp|$tmp/good.pfx|$password|http://127.0.0.1:9/|signing failed"
)
for row in "${refusals[@]}"; do
    IFS='|' read -r name pfx pass url message <<<"$row"
    # A release of earlier that a refused one could be taken for.
    [ -f "$tmp/signed.exe" ] && cp "$tmp/signed.exe" dist/Brisvane.exe
    if release "refused-$name" BRISVANE_SIGN_PFX="$pfx" BRISVANE_SIGN_PASSWORD="$pass" \
        BRISVANE_TIMESTAMP_URL="$url"; then
        fail "$name: the release was made"
    fi
    last=$(tail -1 "$tmp/refused-$name.err")
    echo "$name: $last"
    [[ "$last" == "release: "*"$message"* ]] || fail "$name: the last line does not say \"$message\""
    # The certificate is refused before the build, in that one line; a
    # failure from osslsigncode comes after the tool's own messages.
    [ "$name" = timestamp ] || [ "$(wc -l <"$tmp/refused-$name.err")" -eq 1 ] ||
        fail "$name: more than one line on stderr"
    [ -e dist/Brisvane.exe ] && fail "$name: dist/Brisvane.exe is left"
    [ -e dist/SHA256SUMS ] && fail "$name: dist/SHA256SUMS is left"
done

echo "-- the password"
if grep -qF -- "$password" "$tmp/argv.log" "$tmp"/*.out "$tmp"/*.err; then
    fail "the password shows on a command line or in the output"
fi
grep -q -- '-passin env:' "$tmp/argv.log" || fail "no command line was recorded"

echo "release tests: $failed failed"
[ "$failed" -eq 0 ]
