#!/usr/bin/env bash
# Builds Brisvane.msi with Debian's wixl from package/Brisvane.wxs and one
# build's Brisvane.exe and BrisvaneActions.dll, run from the repository.
#   package/build-msi.sh PLATFORM BUILD_DIR OUT
# PLATFORM x86 is the shipping package, which scripts/release.sh makes from
# the i686 build. x64 carries the x86_64 build, so that Wine's 64-bit msiexec
# runs the package's case where no 32-bit code runs natively; no release
# ships it. BRISVANE_MSI_VERSION gives another version than the executable's.
# Prints "Brisvane.msi VERSION, product code {GUID}".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
platform=$1
build=$(realpath -- "$2")
out=$(realpath -m -- "$3")
case $platform in
x86) template=Intel ;;
x64) template=x64 ;;
*)
    echo "build-msi: unknown platform $platform (x86 or x64)" >&2
    exit 1
    ;;
esac
msi=$(mktemp -d)
trap 'rm -rf "$msi"' EXIT

# The package's name, maker and version are those of the executable's
# version record. The product code is one per version as Windows Installer
# tells versions apart (by the first three fields): a package of the same
# version is the same product, never a second entry beside it. The 32-bit
# and 64-bit packages of one version must have different product codes. The
# package code changes with anything in the package, and neither changes
# between two builds of one commit, nor do the summary's times (the
# commit's) and the cabinet's file times, so that such builds give the same bytes.
declare -A info
cp "$build/Brisvane.exe" "$build/BrisvaneActions.dll" "$here/Brisvane.wxs" "$msi/"
while IFS='=' read -r name value; do
    info[$name]=$value
done < <(python3 "$here/version-info.py" "$msi/Brisvane.exe")
if [ -z "${info[ProductName]:-}" ] || [ -z "${info[Manufacturer]:-}" ] || [ -z "${info[Version]:-}" ]; then
    echo "build-msi: cannot read the product name, company name and version from Brisvane.exe's version record" >&2
    exit 1
fi
info[FileVersion]=${info[Version]}
[ -z "${BRISVANE_MSI_VERSION:-}" ] || info[Version]=$BRISVANE_MSI_VERSION
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$msi/Brisvane.wxs")
uuid() {
    python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
        "$upgrade_code" "$1"
}
product="product $(cut -d. -f1-3 <<<"${info[Version]}")"
[ "$platform" = x86 ] || product+=" $platform"
info[ProductCode]=$(uuid "$product")
info[PackageCode]=$(uuid "package ${info[Version]} $(git rev-parse 'HEAD^{tree}') $(cd "$msi" &&
    sha256sum Brisvane.exe BrisvaneActions.dll | cut -d' ' -f1 | tr '\n' ' ')")
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
touch -d "@$epoch" "$msi/Brisvane.exe" "$msi/BrisvaneActions.dll"
printf '\r\n\r\n1251\t_ForceCodepage\r\n' >"$msi/codepage.idt"
# faketime -f holds the clock still. wixl reads the files it packs from the
# folder it runs in only. The queries write what wixl cannot (see
# package/Brisvane.wxs): 3393 is a DLL in the Binary table (1), its return
# ignored (64), run from the script (1024) on rollback (256), not
# impersonated (2048); Brisvane.exe is versioned as its version record says,
# so that a repair compares versions; PRINTER reaches the actions also where
# a user who is not an administrator installs with elevated rights.
if ! (cd "$msi" && export TZ=UTC &&
    faketime -f "$stamp" wixl -a "$platform" -D "Platform=$platform" -D "ProductName=${info[ProductName]}" \
        -D "Manufacturer=${info[Manufacturer]}" -D "Version=${info[Version]}" -D "ProductCode=${info[ProductCode]}" \
        -D Exe=Brisvane.exe -D Dll=BrisvaneActions.dll -o Brisvane.msi Brisvane.wxs &&
    faketime -f "$stamp" msibuild Brisvane.msi -i codepage.idt \
        -q "UPDATE \`CustomAction\` SET \`Type\` = 3393 WHERE \`Action\` = 'SwitchOffRollback' OR \`Action\` = 'SwitchOnRollback'" \
        -q "UPDATE \`File\` SET \`Version\` = '${info[FileVersion]}' WHERE \`File\` = 'Brisvane.exe'" \
        -q "UPDATE \`Property\` SET \`Value\` = 'PRINTER;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE \`Property\` = 'SecureCustomProperties'" \
        -q "UPDATE \`LaunchCondition\` SET \`Description\` = 'Уже установлена более новая версия [ProductName].' WHERE \`Condition\` = 'NOT WIX_DOWNGRADE_DETECTED'" \
        -s "${info[ProductName]}" "${info[Manufacturer]}" "$template;1049" "{${info[PackageCode]}}") \
    >"$msi/wixl.log" 2>&1; then
    cat "$msi/wixl.log" >&2
    echo "build-msi: wixl could not build Brisvane.msi" >&2
    exit 1
fi
mkdir -p "$(dirname "$out")"
mv "$msi/Brisvane.msi" "$out"
echo "Brisvane.msi ${info[Version]}, product code {${info[ProductCode]}}"
