#!/usr/bin/env bash
# Makes the release in dist/: the shipping i686 Brisvane.exe, built from the
# committed tree, Authenticode-signed when a certificate is given, and its
# SHA256SUMS.
#   scripts/release.sh
#   BRISVANE_SIGN_PFX=cert.pfx BRISVANE_SIGN_PASSWORD=... [BRISVANE_TIMESTAMP_URL=http://...] scripts/release.sh
# The password is read from the environment only: it never goes on a command
# line, where any user of the machine could read it, nor into a log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pfx=${BRISVANE_SIGN_PFX:+$(realpath -m -- "$BRISVANE_SIGN_PFX")}
cd "$root"

die() {
    echo "release: $*" >&2
    exit 1
}

# A refused release must not leave an earlier Brisvane.exe that could pass for its result.
rm -f dist/Brisvane.exe dist/SHA256SUMS
mkdir -p build
work=$(mktemp -d "$root/build/release.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The certificate is checked before the build, so that a bad one is refused at once.
if [ -n "$pfx" ]; then
    [ -f "$pfx" ] && [ -r "$pfx" ] || die "cannot read the certificate file $pfx"
    [ -n "${BRISVANE_SIGN_PASSWORD+set}" ] || die "BRISVANE_SIGN_PASSWORD is not set for $pfx"
    export BRISVANE_SIGN_PASSWORD
    read_pfx() {
        openssl pkcs12 "$@" -in "$pfx" -passin env:BRISVANE_SIGN_PASSWORD -nokeys -clcerts \
            -out "$work/cert.pem" 2>"$work/openssl.log"
    }
    # Files exported by older tools are encrypted with RC2, which OpenSSL 3 keeps in its legacy provider.
    if ! read_pfx && ! read_pfx -legacy; then
        if grep -qi 'mac verify' "$work/openssl.log"; then
            die "wrong password for the certificate file $pfx"
        fi
        die "cannot read the certificate file $pfx: not a PKCS#12 file"
    fi
    grep -q 'BEGIN CERTIFICATE' "$work/cert.pem" || die "the certificate file $pfx holds no certificate"
    subject=$(openssl x509 -in "$work/cert.pem" -noout -subject -nameopt oneline)
    subject=${subject#subject=}
    openssl x509 -in "$work/cert.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
        die "the certificate $subject is not for code signing (no Code Signing extended key usage)"
    openssl x509 -in "$work/cert.pem" -noout -checkend 0 >/dev/null ||
        die "the certificate $subject expired on $(openssl x509 -in "$work/cert.pem" -noout -enddate | cut -d= -f2)"
fi

# From the committed tree only: an edit not yet committed must never reach a release.
commit=$(git rev-parse --short HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release: uncommitted changes are left out; building commit $commit as committed"
echo "release: building Brisvane.exe (i686, Release) from commit $commit..."
mkdir "$work/src"
git archive HEAD | tar -x -C "$work/src"
if ! (cd "$work/src" && cmake --preset i686 && cmake --build --preset i686 --target Brisvane) \
    >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    die "the build failed"
fi
mkdir "$work/dist"
exe=$work/dist/Brisvane.exe

if [ -n "$pfx" ]; then
    timestamp=()
    [ -z "${BRISVANE_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$BRISVANE_TIMESTAMP_URL")
    echo "release: signing with $subject${timestamp[*]:+, timestamp from $BRISVANE_TIMESTAMP_URL}..."
    # The password reaches osslsigncode through a pipe, never as an argument.
    if ! osslsigncode sign -pkcs12 "$pfx" -readpass <(printf '%s' "$BRISVANE_SIGN_PASSWORD") -h sha256 \
        -n Brisvane "${timestamp[@]}" -in "$work/src/build/i686/Brisvane.exe" -out "$exe" >"$work/sign.log" 2>&1; then
        cat "$work/sign.log" >&2
        die "signing failed"
    fi
    # A self-signed certificate is its own root; any other must chain to the system's roots.
    cafile=/etc/ssl/certs/ca-certificates.crt
    if [ "$(openssl x509 -in "$work/cert.pem" -noout -subject)" = \
        "$(openssl x509 -in "$work/cert.pem" -noout -issuer | sed 's/^issuer=/subject=/')" ]; then
        cafile=$work/cert.pem
        echo "release: the certificate is self-signed: Windows will still show an unknown publisher"
    fi
    # Newer osslsigncode fetches revocation lists and fails where the network is out of reach;
    # the signature and its chain are what this check is for.
    offline=()
    osslsigncode verify --help 2>&1 | grep -q -- -ignore-crl && offline=(-ignore-crl)
    if ! osslsigncode verify "${offline[@]}" -CAfile "$cafile" -in "$exe" >"$work/verify.log" 2>&1; then
        cat "$work/verify.log" >&2
        die "the signature does not verify against the roots in $cafile"
    fi
    echo "release: signed and verified"
else
    cp "$work/src/build/i686/Brisvane.exe" "$exe"
    echo "release: no certificate given (BRISVANE_SIGN_PFX): this release is UNSIGNED;" \
        "Windows will show an unknown publisher and SmartScreen may warn"
fi

(cd "$work/dist" && sha256sum Brisvane.exe >SHA256SUMS)
mkdir -p dist
mv "$exe" dist/Brisvane.exe
mv "$work/dist/SHA256SUMS" dist/SHA256SUMS
echo "release: dist/Brisvane.exe and dist/SHA256SUMS"
cat dist/SHA256SUMS
