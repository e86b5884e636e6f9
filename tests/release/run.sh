#!/usr/bin/env bash
# Tests of scripts/release.sh with throwaway certificates that openssl makes
# here, a throwaway SoftHSM2 token for the key that never leaves its token,
# and a throwaway time-stamp authority on 127.0.0.1: signed releases of both
# roads verify with their time stamps, name their signer in SIGNER.txt, check
# out and still run under Wine; each bad certificate, key, module or PIN is
# refused without leaving a release in dist/; the password and the PIN show
# on no command line and in no output; two unsigned releases of one commit
# are byte-identical, the installer package too; and the package's tables
# hold what wixl cannot be trusted to write.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

tmp=$root/build/release-test
rm -rf "$tmp"
mkdir -p "$tmp/shims" "$tmp/earlier"
failed=0
fail() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}

# Spaces, quotes and a dollar sign: secrets that any careless quoting would mangle or show.
password='brisvane test $ign "pass" word'
pin='token $PIN "1 2"'

# The tools that get the password or the PIN record their arguments, so that the test can show it was never among them.
for tool in openssl osslsigncode p11tool; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/argv.log"\nexec %s "$@"\n' "$tmp" "$(command -v "$tool")" \
        >"$tmp/shims/$tool"
    chmod +x "$tmp/shims/$tool"
done
# An osslsigncode that signs with SHA-1 whatever it is asked, as older ones and careless scripts do.
mkdir "$tmp/sha1"
printf '#!/bin/sh\nfor a; do shift; [ "$a" = sha256 ] && a=sha1; set -- "$@" "$a"; done\nexec "%s" "$@"\n' \
    "$tmp/shims/osslsigncode" >"$tmp/sha1/osslsigncode"
chmod +x "$tmp/sha1/osslsigncode"
# One that nests a SHA-1 signature beside the SHA-256 one, as files dual-signed for older Windows carry.
mkdir "$tmp/dual"
cat >"$tmp/dual/osslsigncode" <<'EOF'
#!/bin/bash
real=${0%/dual/osslsigncode}/shims/osslsigncode
[ "$1" = sign ] && pass=$(mktemp) || exec "$real" "$@"
args=("$@") nested=()
for i in "${!args[@]}"; do
    case ${args[i]} in -readpass) cat "${args[i + 1]}" >"$pass" && args[i + 1]=$pass ;; -out) out=${args[i + 1]} ;; esac
done
for i in "${!args[@]}"; do
    case ${args[i - 1]}:${args[i]} in -in:*) nested+=("$out") ;; -out:*) nested+=("$out.nested") ;; *:sha256) nested+=(sha1) ;; *) nested+=("${args[i]}") ;; esac
done
"$real" "${args[@]}" && "$real" "${nested[@]}" -nest && mv "$out.nested" "$out"
EOF
chmod +x "$tmp/dual/osslsigncode"

# make_cert NAME EXTENSIONS START END [ISSUER]: a certificate in NAME.pem,
# self-signed or issued by ISSUER, and with its key in NAME.pfx. openssl ca
# is the one command of OpenSSL 3.0 that sets any validity period, so it also
# makes the expired one.
make_cert() {
    local name=$1 extensions=$2 start=$3 end=$4 issuer=${5:-}
    local signer=(-selfsign -keyfile "$tmp/$name.key")
    [ -z "$issuer" ] || signer=(-cert "$tmp/$issuer.pem" -keyfile "$tmp/$issuer.key")
    printf '%s\n' '[ca]' 'default_ca = test' '[test]' "database = $tmp/index.txt" "serial = $tmp/serial" \
        "new_certs_dir = $tmp" 'default_md = sha256' 'policy = any' '[any]' 'commonName = supplied' \
        '[usage]' "$extensions" >"$tmp/ca.cnf"
    : >"$tmp/index.txt"
    # A root and a certificate it issues must not share a serial number.
    od -An -N8 -tx1 /dev/urandom | tr -d ' \n' >"$tmp/serial"
    openssl req -new -newkey rsa:2048 -nodes -keyout "$tmp/$name.key" -subj "/CN=Brisvane test $name" \
        -out "$tmp/$name.csr" 2>/dev/null &&
        openssl ca -batch -config "$tmp/ca.cnf" "${signer[@]}" -in "$tmp/$name.csr" \
            -startdate "$start" -enddate "$end" -extensions usage -notext -out "$tmp/$name.pem" 2>/dev/null &&
        PASSWORD=$password openssl pkcs12 -export -inkey "$tmp/$name.key" -in "$tmp/$name.pem" \
            -out "$tmp/$name.pfx" -passout env:PASSWORD
}
now=$(date -u +%Y%m%d%H%M%SZ)
soon=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
make_cert good 'extendedKeyUsage = codeSigning' "$now" "$soon" &&
    make_cert tls 'extendedKeyUsage = serverAuth' "$now" "$soon" &&
    make_cert expired 'extendedKeyUsage = codeSigning' 20200101000000Z 20210101000000Z &&
    make_cert root $'basicConstraints = critical, CA:TRUE\nkeyUsage = keyCertSign, cRLSign' "$now" "$soon" &&
    make_cert signer 'extendedKeyUsage = codeSigning' "$now" "$soon" root &&
    make_cert tsa 'extendedKeyUsage = critical, timeStamping' "$now" "$soon" root || {
    echo "FAIL: openssl could not make the test certificates"
    exit 1
}
head -c 2048 /dev/urandom >"$tmp/garbage.pfx"
cat "$tmp/signer.pem" "$tmp/root.pem" >"$tmp/signer-chain.pem"
cat "$tmp/good.pem" "$tmp/root.pem" >"$tmp/roots.pem"

# The keys of the token road live in the token only: the release gets their URI.
export SOFTHSM2_CONF=$tmp/token/softhsm2.conf
module=$(TOKEN_PIN=$pin PATH="$tmp/shims:$PATH" tests/release/make-token.sh "$tmp/token" 'Brisvane test' \
    "$tmp/signer.key" "$tmp/tls.key" "$tmp/expired.key") || {
    echo "FAIL: could not make the SoftHSM2 token"
    exit 1
}
uri='pkcs11:token=Brisvane%20test;type=private'

exec {tsa_out}< <(exec python3 tests/release/tsa.py "$tmp/tsa.pem" "$tmp/tsa.key" "$tmp/root.pem")
tsa_pid=$!
trap 'kill "$tsa_pid" 2>/dev/null' EXIT
read -r tsa_url <&"$tsa_out" || {
    echo "FAIL: the time-stamp authority did not start"
    exit 1
}

# release NAME [VAR=VALUE...]: runs the release with only the given signing variables.
release() {
    local name=$1
    shift
    env -u BRISVANE_SIGN_PFX -u BRISVANE_SIGN_PASSWORD -u BRISVANE_SIGN_PKCS11_MODULE -u BRISVANE_SIGN_KEY \
        -u BRISVANE_SIGN_CERT -u BRISVANE_SIGN_PIN -u BRISVANE_TIMESTAMP_URL -u BRISVANE_TIMESTAMP_CA \
        -u BRISVANE_ALLOW_NO_TIMESTAMP -u BRISVANE_MSI_VERSION -u BRISVANE_RELEASE_DIR PATH="$tmp/shims:$PATH" "$@" \
        scripts/release.sh >"$tmp/$name.out" 2>"$tmp/$name.err"
}
# The variables of each road, '|' between them; a later one in a row overrides.
stamp="BRISVANE_TIMESTAMP_URL=$tsa_url|BRISVANE_TIMESTAMP_CA=$tmp/root.pem"
pfx="BRISVANE_SIGN_PFX=$tmp/good.pfx|BRISVANE_SIGN_PASSWORD=$password|$stamp"
token="BRISVANE_SIGN_PKCS11_MODULE=$module|BRISVANE_SIGN_KEY=$uri;object=signer"
token+="|BRISVANE_SIGN_CERT=$tmp/signer-chain.pem|BRISVANE_SIGN_PIN=$pin|$stamp"

echo "-- two unsigned releases of one commit"
if release unsigned-1 && cp dist/Brisvane.exe dist/Brisvane.msi dist/SHA256SUMS "$tmp/" && release unsigned-2; then
    cmp "$tmp/Brisvane.exe" dist/Brisvane.exe && cmp "$tmp/Brisvane.msi" dist/Brisvane.msi &&
        cmp "$tmp/SHA256SUMS" dist/SHA256SUMS || fail "two unsigned releases differ"
    grep -q 'UNSIGNED' "$tmp/unsigned-2.out" || fail "an unsigned release does not say that it is unsigned"
    (cd dist && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c rejects the unsigned release"
else
    fail "unsigned release: $(cat "$tmp"/unsigned-*.err)"
fi

echo "-- the package's tables"
# Sequence numbers written out, the rollback type wixl does not write, the
# program's version that wixl leaves out, the Russian text in code page 1251
# that wixl drops, PRINTER passed to the server side, Remove without Modify.
msi_table() {
    msiinfo export dist/Brisvane.msi "$1" | tr -d '\r' | sed 1,3d
}
# msidump writes the Binary table's cells into the folder it runs in, whatever -d says.
msi_contents() {
    rm -rf "$2" && mkdir "$2" && (cd "$2" && msidump -t -s -d . "$1" >/dev/null)
}
diff -u - <(msi_table InstallExecuteSequence |
    grep -E '^(InstallInitialize|RemoveExistingProducts|Switch[A-Za-z]*|RemoveFiles|InstallFiles|InstallFinalize|RestartIfSwitched)\s') <<'TABLE' ||
InstallInitialize		1500
RemoveExistingProducts		1501
SwitchOffData	NOT (REMOVE~="ALL")	1510
SwitchOffRollback	NOT (REMOVE~="ALL")	1520
SwitchOff	NOT (REMOVE~="ALL")	1521
SwitchOnRollback	REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE	1529
SwitchOn	REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE	1530
RemoveFiles		3500
InstallFiles		4000
InstallFinalize		6600
RestartIfSwitched	NOT UPGRADINGPRODUCTCODE	6601
TABLE
    fail "the package's InstallExecuteSequence"
diff -u - <(msi_table CustomAction) <<'TABLE' || fail "the package's CustomAction table"
SwitchOffData	51	SwitchOff	[PRINTER]	
SwitchOffRollback	3393	BrisvaneActions	SwitchOffRollback	
SwitchOff	3073	BrisvaneActions	SwitchOff	
SwitchOnRollback	3393	BrisvaneActions	SwitchOnRollback	
SwitchOn	3073	BrisvaneActions	SwitchOn	
RestartIfSwitched	65	BrisvaneActions	RestartIfSwitched	
TABLE
msi_table File | awk -F'\t' '$1 == "Brisvane.exe" { print $5 }' | grep -qx "$(python3 package/version-info.py dist/Brisvane.exe |
    sed -n 's/^Version=//p')" || fail "the File table does not give Brisvane.exe the version of its version record"
msiinfo export dist/Brisvane.msi _ForceCodepage | grep -q '^1251' || fail "the package's code page is not 1251"
msi_table LaunchCondition | grep -q 'Уже установлена более новая версия' || fail "the downgrade message is not Russian"
msi_table Property | grep -qx $'SecureCustomProperties\tPRINTER;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' ||
    fail "PRINTER is not among the SecureCustomProperties"
msi_table Property | grep -qx $'ARPNOMODIFY\t1' || fail "Programs and Features offers Modify"
msiinfo suminfo dist/Brisvane.msi | grep -qx 'Template: Intel;1049' || fail "the package is not 32-bit and Russian"

echo "-- signed releases"
# name | the signer's certificate | the release's variables
signed=(
    "pfx|good|$pfx"
    "token|signer|$token"
    "unstamped|good|$pfx|BRISVANE_TIMESTAMP_URL=|BRISVANE_ALLOW_NO_TIMESTAMP=1"
)
for row in "${signed[@]}"; do
    IFS='|' read -r -a fields <<<"$row"
    name=${fields[0]} cert=$tmp/${fields[1]}.pem
    if ! release "signed-$name" "${fields[@]:2}"; then
        fail "$name: signed release: $(cat "$tmp/signed-$name.err")"
        continue
    fi
    echo "$name: $(grep -m1 'signing' "$tmp/signed-$name.out")"
    # osslsigncode computes the signer's thumbprint on its own and compares it with the one openssl gives.
    thumbprint=$(openssl x509 -in "$cert" -noout -fingerprint -sha1 | cut -d= -f2 | tr -d :)
    grep -qx "SHA-1 thumbprint: *$thumbprint" dist/SIGNER.txt ||
        fail "$name: SIGNER.txt does not name the thumbprint $thumbprint"
    osslsigncode verify -CAfile "$tmp/roots.pem" -TSA-CAfile "$tmp/roots.pem" -require-leaf-hash "sha1:$thumbprint" \
        -in dist/Brisvane.exe >"$tmp/verify-$name.out" 2>&1 &&
        grep -q "Subject: /CN=Brisvane test ${fields[1]}" "$tmp/verify-$name.out" ||
        fail "$name: osslsigncode verify rejects the signed release: $(tail -3 "$tmp/verify-$name.out")"
    if [ "$name" = unstamped ]; then
        grep -q 'Timestamp Server Signature' "$tmp/verify-$name.out" && fail "$name: the release has a time stamp"
        expiry=$(date -u -d "$(openssl x509 -in "$cert" -noout -enddate | cut -d= -f2)" +%Y-%m-%d)
        [[ "$(tail -1 "$tmp/signed-$name.out")" == *"dies with the certificate on $expiry"* ]] ||
            fail "$name: the last line does not say that the signature dies on $expiry"
        grep -q '^Time stamp: *none' dist/SIGNER.txt || fail "$name: SIGNER.txt does not say there is no time stamp"
    else
        grep -q 'Timestamp Server Signature verification: ok' "$tmp/verify-$name.out" ||
            fail "$name: no time stamp verifies"
        for file in Brisvane.exe Brisvane.msi; do
            grep -q "^Time stamp: *20[0-9-]* [0-9:]* UTC on $file, from $tsa_url\$" dist/SIGNER.txt ||
                fail "$name: SIGNER.txt does not give the time stamp's time on $file"
        done
    fi
    grep -q ' SIGNER.txt$' dist/SHA256SUMS && grep -q ' Brisvane.msi$' dist/SHA256SUMS ||
        fail "$name: SHA256SUMS does not list SIGNER.txt and Brisvane.msi"
    osslsigncode verify -CAfile "$tmp/roots.pem" -TSA-CAfile "$tmp/roots.pem" -require-leaf-hash "sha1:$thumbprint" \
        -in dist/Brisvane.msi >"$tmp/verify-msi-$name.out" 2>&1 ||
        fail "$name: osslsigncode verify rejects the signed package: $(tail -3 "$tmp/verify-msi-$name.out")"
    for out in "$tmp/verify-$name.out" "$tmp/verify-msi-$name.out"; do
        grep -q '^Message digest algorithm *: SHA256$' "$out" ||
            fail "$name: not signed with SHA-256: $(grep -m1 'digest algorithm' "$out")"
    done
    # osslsigncode writes the package's compound file anew: its tables and
    # streams are what a rebuild compares.
    osslsigncode remove-signature -in dist/Brisvane.msi -out "$tmp/stripped-$name.msi" >/dev/null &&
        msi_contents "$tmp/stripped-$name.msi" "$tmp/stripped-$name" && msi_contents "$tmp/Brisvane.msi" "$tmp/unsigned" &&
        diff -r "$tmp/stripped-$name" "$tmp/unsigned" >/dev/null || fail "$name: less its signature, not the unsigned package"
    (cd dist && sha256sum --quiet -c SHA256SUMS) || fail "$name: sha256sum -c rejects the signed release"
    python3 tests/resources/check_exe.py dist/Brisvane.exe --machine i386 ||
        fail "$name: the signed executable's checks"
    cmp -s dist/Brisvane.exe "$tmp/Brisvane.exe" && fail "$name: the signed release is the unsigned file"
    # Less its signature, the file is the unsigned build: what a rebuild compares.
    osslsigncode remove-signature -in dist/Brisvane.exe -out "$tmp/stripped-$name.exe" >/dev/null &&
        cmp "$tmp/stripped-$name.exe" "$tmp/Brisvane.exe" || fail "$name: less its signature, not the unsigned build"
    cp dist/Brisvane.exe "$tmp/signed-$name.exe"
    [ "$name" != token ] || cp dist/Brisvane.exe dist/Brisvane.msi dist/SIGNER.txt dist/SHA256SUMS "$tmp/earlier/"
done
# The file signed in the token still runs: the switch-off round on a 32-bit Windows.
if [ -f "$tmp/signed-token.exe" ]; then
    BRISVANE_E2E_CONFIGS=i686-win32 BRISVANE_E2E_INSTALLER="$tmp/signed-token.exe" \
        tests/wine/run.sh 07-switch-off-restart || fail "the signed release under Wine"
fi

echo "-- refusals"
# name | what the last line of stderr says | the release's variables
refusals=(
    "missing|cannot read the certificate file|$pfx|BRISVANE_SIGN_PFX=$tmp/none.pfx"
    "garbage|not a PKCS#12 file|$pfx|BRISVANE_SIGN_PFX=$tmp/garbage.pfx"
    "password|wrong password|$pfx|BRISVANE_SIGN_PASSWORD=not the password"
    "usage|is not for code signing|$pfx|BRISVANE_SIGN_PFX=$tmp/tls.pfx"
    "expired|expired on|$pfx|BRISVANE_SIGN_PFX=$tmp/expired.pfx"
    "timestamp|signing failed|$pfx|BRISVANE_TIMESTAMP_URL=http://127.0.0.1:9/"
    "timestamp-root|time stamp of Brisvane.exe does not verify|$pfx|BRISVANE_TIMESTAMP_CA=$tmp/good.pem"
    "sha1|made with SHA1, not SHA-256|$pfx|PATH=$tmp/sha1:$tmp/shims:$PATH"
    "sha1-beside|made with SHA1 SHA256, not SHA-256|$pfx|PATH=$tmp/dual:$tmp/shims:$PATH"
    "both-roads|not both|$pfx|$token"
    "no-timestamp|needs a time stamp|$pfx|BRISVANE_TIMESTAMP_URL="
    "not-by-name|needs a time stamp|$pfx|BRISVANE_TIMESTAMP_URL=|BRISVANE_ALLOW_NO_TIMESTAMP=yes"
    "token-no-timestamp|needs a time stamp|$token|BRISVANE_TIMESTAMP_URL="
    "module|does not load|$token|BRISVANE_SIGN_PKCS11_MODULE=$tmp/garbage.pfx"
    "no-key|answers to|$token|BRISVANE_SIGN_KEY=$uri;object=nobody"
    "pin|wrong PIN|$token|BRISVANE_SIGN_PIN=not the PIN"
    "pin-value|names a PIN|$token|BRISVANE_SIGN_KEY=$uri;object=signer?pin-value=1234"
    "pin-source|names a PIN|$token|BRISVANE_SIGN_KEY=$uri;object=signer?pin-source=file:$tmp/pin.txt"
    "not-its-key|does not belong to the key|$token|BRISVANE_SIGN_CERT=$tmp/good.pem"
    "token-usage|is not for code signing|$token|BRISVANE_SIGN_KEY=$uri;object=tls|BRISVANE_SIGN_CERT=$tmp/tls.pem"
    "token-expired|expired on|$token|BRISVANE_SIGN_KEY=$uri;object=expired|BRISVANE_SIGN_CERT=$tmp/expired.pem"
    "msi-version|not a Windows Installer version|BRISVANE_MSI_VERSION=1.256.0"
)
for row in "${refusals[@]}"; do
    IFS='|' read -r -a fields <<<"$row"
    name=${fields[0]} message=${fields[1]}
    # A release of earlier that a refused one could be taken for.
    cp "$tmp"/earlier/* dist/ 2>/dev/null
    if release "refused-$name" "${fields[@]:2}"; then
        fail "$name: the release was made"
    fi
    last=$(tail -1 "$tmp/refused-$name.err")
    echo "$name: $last"
    [[ "$last" == "release: "*"$message"* ]] || fail "$name: the last line does not say \"$message\""
    # Certificates, keys and PINs are refused before the build, in that one
    # line; a failure of the time stamp comes after osslsigncode's own report.
    [[ "$name" == timestamp* ]] || [ "$(wc -l <"$tmp/refused-$name.err")" -eq 1 ] ||
        fail "$name: more than one line on stderr"
    for file in Brisvane.exe Brisvane.msi SIGNER.txt SHA256SUMS; do
        [ -e "dist/$file" ] && fail "$name: dist/$file is left"
    done
done

echo "-- the password and the PIN"
for secret in "$password" "$pin"; do
    if grep -qF -- "$secret" "$tmp/argv.log" "$tmp"/*.out "$tmp"/*.err; then
        fail "a secret shows on a command line or in the output"
    fi
done
grep -q -- '-passin env:BRISVANE_SIGN_PASSWORD' "$tmp/argv.log" &&
    grep -q -- '-passin env:BRISVANE_SIGN_PIN' "$tmp/argv.log" && grep -q -- '--login --write' "$tmp/argv.log" ||
    fail "not every command line was recorded"

echo "release tests: $failed failed"
[ "$failed" -eq 0 ]
