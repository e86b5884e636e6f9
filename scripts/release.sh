#!/usr/bin/env bash
# Makes the release in dist/: the shipping i686 Brisvane.exe and the
# installer package Brisvane.msi that carries it, built from the committed
# tree, Authenticode-signed and time-stamped when a key is given, SIGNER.txt
# naming who signed them, and SHA256SUMS.
#   scripts/release.sh
#   BRISVANE_SIGN_PFX=cert.pfx BRISVANE_SIGN_PASSWORD=... BRISVANE_TIMESTAMP_URL=http://... scripts/release.sh
#   BRISVANE_SIGN_PKCS11_MODULE=module.so BRISVANE_SIGN_KEY='pkcs11:...' BRISVANE_SIGN_CERT=chain.pem \
#       BRISVANE_SIGN_PIN=... BRISVANE_TIMESTAMP_URL=http://... scripts/release.sh
# A .pfx file serves a certificate of the company's own CA. A publicly trusted
# code-signing key lives in a USB token or a cloud HSM and never leaves it:
# osslsigncode reaches it through the token's PKCS#11 module.
# The password and the PIN are read from the environment only: they never go
# on a command line, where any user of the machine could read them, nor into
# a log. A signature without a time stamp dies with its certificate, so a
# signed release needs BRISVANE_TIMESTAMP_URL, unless
# BRISVANE_ALLOW_NO_TIMESTAMP=1 asks for one without.
# BRISVANE_MSI_VERSION gives the package another version than the
# executable's (a.b.c or a.b.c.d), and BRISVANE_RELEASE_DIR another folder
# than dist/: the tests make a newer package of the same sources that way.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pfx=${BRISVANE_SIGN_PFX:+$(realpath -m -- "$BRISVANE_SIGN_PFX")}
cert=${BRISVANE_SIGN_CERT:+$(realpath -m -- "$BRISVANE_SIGN_CERT")}
key=${BRISVANE_SIGN_KEY:-}
# A bare file name is the dynamic loader's to find, as the token's maker documents it.
module=${BRISVANE_SIGN_PKCS11_MODULE:-}
[[ "$module" != */* ]] || module=$(realpath -ms -- "$module")
tsa=${BRISVANE_TIMESTAMP_URL:-}
tsa_roots=${BRISVANE_TIMESTAMP_CA:+$(realpath -m -- "$BRISVANE_TIMESTAMP_CA")}
dist=$(realpath -m -- "${BRISVANE_RELEASE_DIR:-$root/dist}")
msi_version=${BRISVANE_MSI_VERSION:-}
cd "$root"

die() {
    echo "release: $*" >&2
    exit 1
}

# A refused release must not leave an earlier one that could pass for its result.
rm -f "$dist/Brisvane.exe" "$dist/Brisvane.msi" "$dist/SHA256SUMS" "$dist/SIGNER.txt"
mkdir -p build
work=$(mktemp -d "$root/build/release.XXXXXX")
trap 'rm -rf "$work"' EXIT

road=
[ -z "$pfx" ] || road=pfx
if [ -n "$module$key$cert" ]; then
    [ -z "$road" ] || die "give either BRISVANE_SIGN_PFX or BRISVANE_SIGN_PKCS11_MODULE, BRISVANE_SIGN_KEY" \
        "and BRISVANE_SIGN_CERT, not both"
    road=pkcs11
fi
# A Windows Installer version is a.b.c or a.b.c.d, a and b up to 255, c and d up to 65535.
if [ -n "$msi_version" ]; then
    IFS=. read -r major minor build revision <<<"$msi_version"
    [[ "$msi_version" =~ ^[0-9]{1,5}\.[0-9]{1,5}\.[0-9]{1,5}(\.[0-9]{1,5})?$ ]] &&
        ((10#$major <= 255 && 10#$minor <= 255 && 10#$build <= 65535 && 10#${revision:-0} <= 65535)) ||
        die "BRISVANE_MSI_VERSION is not a Windows Installer version (a.b.c or a.b.c.d): $msi_version"
fi
if [ -n "$road" ] && [ -z "$tsa" ] && [ "${BRISVANE_ALLOW_NO_TIMESTAMP:-}" != 1 ]; then
    die "a signed release needs a time stamp: set BRISVANE_TIMESTAMP_URL to an RFC 3161 time-stamp server" \
        "(BRISVANE_ALLOW_NO_TIMESTAMP=1 signs without one, and the signature dies with the certificate)"
fi

# Names as Windows shows them, most specific first; UTF-8 left readable.
name() {
    openssl x509 -in "$work/cert.pem" -noout "-$1" -nameopt RFC2253,sep_comma_plus_space,-esc_msb | cut -d= -f2-
}
utc() {
    date -u -d "$1" '+%Y-%m-%d %H:%M:%S UTC'
}
expiry() {
    utc "$(openssl x509 -in "$work/cert.pem" -noout -enddate | cut -d= -f2)"
}

# The signer's certificate in cert.pem, whichever road it came by, is fit for signing code today.
check_cert() {
    subject=$(name subject)
    openssl x509 -in "$work/cert.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
        die "the certificate $subject is not for code signing (no Code Signing extended key usage)"
    openssl x509 -in "$work/cert.pem" -noout -checkend 0 >/dev/null ||
        die "the certificate $subject expired on $(expiry)"
}

# The certificates are checked before the build, so that a bad one is refused at once.
if [ "$road" = pfx ]; then
    [ -f "$pfx" ] && [ -r "$pfx" ] || die "cannot read the certificate file $pfx"
    [ -n "${BRISVANE_SIGN_PASSWORD+set}" ] || die "BRISVANE_SIGN_PASSWORD is not set for $pfx"
    export BRISVANE_SIGN_PASSWORD
    secret=BRISVANE_SIGN_PASSWORD
    read_pfx() {
        openssl pkcs12 "$@" -in "$pfx" -passin env:BRISVANE_SIGN_PASSWORD -nokeys 2>"$work/openssl.log"
    }
    # Files exported by older tools are encrypted with RC2, which OpenSSL 3 keeps in its legacy provider.
    legacy=()
    if ! read_pfx -clcerts -out "$work/cert.pem"; then
        legacy=(-legacy)
        if ! read_pfx -legacy -clcerts -out "$work/cert.pem"; then
            if grep -qi 'mac verify' "$work/openssl.log"; then
                die "wrong password for the certificate file $pfx"
            fi
            die "cannot read the certificate file $pfx: not a PKCS#12 file"
        fi
    fi
    grep -q 'BEGIN CERTIFICATE' "$work/cert.pem" || die "the certificate file $pfx holds no certificate"
    read_pfx "${legacy[@]}" -cacerts -out "$work/cacerts.pem"
    cat "$work/cert.pem" "$work/cacerts.pem" >"$work/chain.pem"
    check_cert
elif [ "$road" = pkcs11 ]; then
    for var in BRISVANE_SIGN_PKCS11_MODULE BRISVANE_SIGN_KEY BRISVANE_SIGN_CERT; do
        [ -n "${!var:-}" ] || die "$var is not set: a key in a token needs BRISVANE_SIGN_PKCS11_MODULE," \
            "BRISVANE_SIGN_KEY and BRISVANE_SIGN_CERT"
    done
    # The URI is printed in messages, so it must not hold the PIN; nothing is echoed from a malformed one.
    [[ "$key" == pkcs11:* ]] || die "BRISVANE_SIGN_KEY is not a pkcs11: URI (RFC 7512)"
    case $key in
    *pin-value=* | *pin-source=*) die "BRISVANE_SIGN_KEY names a PIN: the PIN goes in BRISVANE_SIGN_PIN only" ;;
    esac
    [ -n "${BRISVANE_SIGN_PIN+set}" ] || die "BRISVANE_SIGN_PIN is not set for the key $key"
    export BRISVANE_SIGN_PIN
    secret=BRISVANE_SIGN_PIN
    [ -f "$cert" ] && [ -r "$cert" ] || die "cannot read the certificate file $cert"
    # The signer's certificate comes first; the rest of the file is its chain.
    openssl x509 -in "$cert" -out "$work/cert.pem" 2>/dev/null ||
        die "the certificate file $cert holds no PEM certificate"
    cp "$cert" "$work/chain.pem"
    check_cert
    if [[ "$module" == */* ]] && { [ ! -f "$module" ] || [ ! -r "$module" ]; }; then
        die "cannot read the PKCS#11 module $module"
    fi
    # One signature over a few bytes tells a module that does not load, a URI
    # that names no key, a wrong PIN and a certificate of another key apart
    # before anything is built. It is one login: a wrong PIN costs the token
    # one of its tries, and osslsigncode never gets to spend another.
    printf 'Brisvane release: does the key of %s answer?\n' "$subject" >"$work/probe"
    # A function, so that the shell's own report of a crash of the engine
    # (it may crash on its way out after a failure) goes to the log as well.
    probe() {
        PKCS11_MODULE_PATH=$module openssl dgst -sha256 -engine pkcs11 -keyform engine -sign "$key" \
            -passin env:BRISVANE_SIGN_PIN -out "$work/probe.sig" "$work/probe"
    }
    if ! probe >"$work/probe.log" 2>&1; then
        if grep -q 'Unable to load module' "$work/probe.log"; then
            die "the PKCS#11 module $module does not load:" \
                "$(grep -B1 -m1 'Unable to load module' "$work/probe.log" | head -1)"
        elif grep -qE 'PIN incorrect|PIN_INCORRECT|PIN_LEN_RANGE' "$work/probe.log"; then
            die "wrong PIN (BRISVANE_SIGN_PIN) for the token of $key"
        elif grep -qE 'PIN locked|PIN_LOCKED' "$work/probe.log"; then
            die "the PIN of the token of $key is locked: the token's own tools unlock it"
        elif grep -qiE 'object not found|key was not found|No matching initialized token' "$work/probe.log"; then
            die "no key in the tokens of $module answers to $key"
        elif grep -qi 'invalid engine' "$work/probe.log"; then
            die "OpenSSL has no pkcs11 engine: scripts/setup.sh installs libengine-pkcs11-openssl"
        fi
        die "cannot sign with $key: $(grep -m1 -i 'error' "$work/probe.log" || tail -1 "$work/probe.log")"
    fi
    openssl x509 -in "$work/cert.pem" -noout -pubkey >"$work/cert.pub"
    openssl dgst -sha256 -verify "$work/cert.pub" -signature "$work/probe.sig" "$work/probe" >/dev/null 2>&1 ||
        die "the certificate $subject does not belong to the key $key"
fi

# The roots the signature is verified against: the machine's, and any
# self-signed certificate that came with the signer's, which is how a
# company's own root, or a self-signed certificate itself, travels. The time
# stamp's may also come from BRISVANE_TIMESTAMP_CA, for an authority whose
# root Debian does not carry.
if [ -n "$road" ]; then
    cp /etc/ssl/certs/ca-certificates.crt "$work/roots.pem"
    awk -v dir="$work" '/BEGIN CERTIFICATE/ { n++ } n { print > (dir "/chain-" n ".pem") }' "$work/chain.pem"
    for c in "$work"/chain-*.pem; do
        [ "$(openssl x509 -in "$c" -noout -subject)" = \
            "$(openssl x509 -in "$c" -noout -issuer | sed 's/^issuer=/subject=/')" ] || continue
        cat "$c" >>"$work/roots.pem"
        if [ "$c" = "$work/chain-1.pem" ]; then
            own_root="the certificate is self-signed: Windows will still show an unknown publisher"
        elif ! openssl verify -CAfile /etc/ssl/certs/ca-certificates.crt "$c" >/dev/null 2>&1; then
            own_root="the certificate chains to $(openssl x509 -in "$c" -noout -subject \
                -nameopt RFC2253,sep_comma_plus_space,-esc_msb | cut -d= -f2-), not a root of this machine:"
            own_root+=" Windows shows the publisher only where it is a trusted root"
        fi
    done
    cp "$work/roots.pem" "$work/tsa-roots.pem"
    if [ -n "$tsa" ] && [ -n "$tsa_roots" ]; then
        grep -qs 'BEGIN CERTIFICATE' "$tsa_roots" || die "BRISVANE_TIMESTAMP_CA: no PEM certificate in $tsa_roots"
        cat "$tsa_roots" >>"$work/tsa-roots.pem"
    fi
fi

# From the committed tree only: an edit not yet committed must never reach a release.
commit=$(git rev-parse --short HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release: uncommitted changes are left out; building commit $commit as committed"
echo "release: building Brisvane.exe and BrisvaneActions.dll (i686, Release) from commit $commit..."
mkdir "$work/src"
git archive HEAD | tar -x -C "$work/src"
if ! (cd "$work/src" && cmake --preset i686 && cmake --build --preset i686 --target Brisvane BrisvaneActions) \
    >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    die "the build failed"
fi
mkdir "$work/dist"

# The installer package, from this build and package/Brisvane.wxs: always the
# 32-bit one, whose program runs on every Windows.
echo "release: building Brisvane.msi with wixl..."
package=$(BRISVANE_MSI_VERSION=$msi_version "$work/src/package/build-msi.sh" x86 "$work/src/build/i686" \
    "$work/msi/Brisvane.msi") || die "wixl could not build Brisvane.msi"
echo "release: $package"

# sign_file IN OUT: Authenticode-signs IN into OUT with the key of either
# road, time-stamped unless that was waived, verifies the signature, its
# chain and its time stamp, and adds OUT's time stamp to SIGNER.txt. Every
# file of a release is signed through here.
sign_file() {
    local in=$1 out=$2 file keys stamp offline digests when
    file=$(basename "$out")
    if [ "$road" = pfx ]; then
        keys=(-pkcs12 "$pfx")
    else
        keys=(-pkcs11module "$module" -certs "$cert" -key "$key")
    fi
    stamp=()
    [ -z "$tsa" ] || stamp=(-ts "$tsa")
    echo "release: signing $file with $subject${tsa:+, time stamp from $tsa}..."
    # The password or PIN reaches osslsigncode through a pipe, never as an argument.
    if ! osslsigncode sign "${keys[@]}" -readpass <(printf '%s' "${!secret}") -h sha256 -n Brisvane \
        "${stamp[@]}" -in "$in" -out "$out" >"$work/sign.log" 2>&1; then
        cat "$work/sign.log" >&2
        die "signing failed for $file"
    fi
    # Newer osslsigncode fetches revocation lists and fails where the network is out of reach;
    # the signature, its chain and its time stamp are what this check is for.
    offline=()
    osslsigncode verify --help 2>&1 | grep -q -- -ignore-crl && offline=(-ignore-crl)
    if ! osslsigncode verify "${offline[@]}" -CAfile "$work/roots.pem" -TSA-CAfile "$work/tsa-roots.pem" \
        -in "$out" >"$work/verify.log" 2>&1; then
        cat "$work/verify.log" >&2
        die "the signature of $file does not verify against this machine's roots and those in the certificate file"
    fi
    # osslsigncode verifies a SHA-1 signature as readily as any, and Windows
    # has distrusted SHA-1 code signatures for years: the file's digest and
    # that of the signed attributes must both be SHA-256, as read in the
    # signature itself rather than taken on trust from -h.
    digests=$(sed -n 's/^[[:space:]]*Message digest algorithm *: *//p' "$work/verify.log" | sort -u | paste -sd ' ')
    [ "$digests" = SHA256 ] ||
        die "the signature of $file is made with ${digests:-a digest osslsigncode does not name}, not SHA-256"
    if [ -n "$tsa" ]; then
        # osslsigncode reports a time stamp that fails to verify and still succeeds.
        if ! grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"; then
            cat "$work/verify.log" >&2
            [ -z "$tsa_roots" ] ||
                die "the time stamp of $file does not verify against this machine's roots and those in $tsa_roots"
            die "the time stamp of $file does not verify against this machine's roots" \
                "(BRISVANE_TIMESTAMP_CA names the time-stamp authority's root where Debian lacks it)"
        fi
        when=$(sed -n 's/^[[:space:]]*\(Timestamp time\|The signature is timestamped\): //p' \
            "$work/verify.log" | head -1)
        [ -n "$when" ] || die "the time stamp of $file shows no time"
        printf '%-21s%s\n' "Time stamp:" "$(utc "$when") on $file, from $tsa" >>"$work/stamps"
    else
        printf '%-21s%s\n' "Time stamp:" "none on $file: its signature is valid only until $(expiry)" \
            >>"$work/stamps"
    fi
}

if [ -n "$road" ]; then
    sign_file "$work/src/build/i686/Brisvane.exe" "$work/dist/Brisvane.exe"
    sign_file "$work/msi/Brisvane.msi" "$work/dist/Brisvane.msi"
    echo "release: signed and verified"
    [ -z "${own_root:-}" ] || echo "release: $own_root"
    fingerprint() {
        openssl x509 -in "$work/cert.pem" -noout -fingerprint "-$1" | cut -d= -f2 | tr -d :
    }
    {
        echo "Who signed this release: compare with what Windows shows under Properties > Digital Signatures."
        printf '%-21s%s\n' \
            "Subject:" "$subject" \
            "Issuer:" "$(name issuer)" \
            "Serial number:" "$(openssl x509 -in "$work/cert.pem" -noout -serial | cut -d= -f2)" \
            "Valid from:" "$(utc "$(openssl x509 -in "$work/cert.pem" -noout -startdate | cut -d= -f2)")" \
            "Valid until:" "$(expiry)" \
            "SHA-1 thumbprint:" "$(fingerprint sha1)" \
            "SHA-256 fingerprint:" "$(fingerprint sha256)"
        cat "$work/stamps"
    } >"$work/dist/SIGNER.txt"
else
    cp "$work/src/build/i686/Brisvane.exe" "$work/dist/Brisvane.exe"
    cp "$work/msi/Brisvane.msi" "$work/dist/Brisvane.msi"
    echo "release: no certificate given (BRISVANE_SIGN_PFX or BRISVANE_SIGN_PKCS11_MODULE): this release is" \
        "UNSIGNED; Windows will show an unknown publisher and SmartScreen may warn"
fi

files=(Brisvane.exe Brisvane.msi)
[ -z "$road" ] || files+=(SIGNER.txt)
(cd "$work/dist" && sha256sum "${files[@]}" >SHA256SUMS)
mkdir -p "$dist"
for file in "${files[@]}" SHA256SUMS; do
    mv "$work/dist/$file" "$dist/$file"
done
shown=${dist#"$root"/}
echo "release: $(for file in "${files[@]}"; do printf '%s/%s, ' "$shown" "$file"; done)and $shown/SHA256SUMS"
cat "$dist/SHA256SUMS"
if [ -n "$road" ] && [ -z "$tsa" ]; then
    echo "release: NO TIME STAMP (BRISVANE_ALLOW_NO_TIMESTAMP=1): the signature dies with the certificate" \
        "on $(expiry); from then on Windows no longer takes Brisvane.exe as signed by $subject"
fi
