#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages, as root.
# Quick and silent when everything is already there.
# Where the kernel runs no 32-bit code, qemu is registered for i386 programs
# so that Wine's 32-bit side runs all the same. BRISVANE_WINE32_PROBE replaces
# the command that tells whether 32-bit Wine runs natively (to try that road
# on a machine that does not need it). BRISVANE_OS_RELEASE names another
# os-release file, whose codename a failed install is retried from.
set -euo pipefail

packages=(
    cmake g++ make python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-tidy clang-format
    wine wine64 wine32:i386 wine32-preloader:i386 xvfb x11-utils x11-apps imagemagick locales
    git openssl osslsigncode
    softhsm2 libengine-pkcs11-openssl gnutls-bin
    wixl msitools faketime
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

install_missing() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "setup: installing ${missing[*]}"
    # A mirror caught mid-sync fails one index or another; what the others
    # list may still be all that is missing.
    $SUDO apt-get update -qq || echo "setup: apt-get update failed for some index; installing from the others"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null && return 0
    # With one architecture's index of a suite missing, amd64 libraries can
    # come from a newer suite than their i386 twins, which multiarch refuses
    # ("held broken packages"). The release's own suite holds both.
    local codename
    codename=$(. "${BRISVANE_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || return 1
    echo "setup: the install failed; installing again from $codename alone (-t $codename)"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq -t "$codename" "${missing[@]}" >/dev/null
}

# The shipping build is a 32-bit program: it runs under Debian's 32-bit Wine.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
install_missing "${packages[@]}"

wine32_runs() {
    if [ -n "${BRISVANE_WINE32_PROBE:-}" ]; then
        bash -c "$BRISVANE_WINE32_PROBE"
    else
        /usr/lib/wine/wine --version
    fi
} >/dev/null 2>&1

# The kernel tries binfmt_misc before its own ELF loader, so qemu is
# registered only where the kernel refuses i386 programs ("Exec format
# error"). F opens the emulator now, so that it also serves in other mount
# namespaces and chroots.
qemu_i386='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
qemu_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
if ! wine32_runs; then
    echo "setup: 32-bit Wine does not run natively; running it under qemu"
    install_missing qemu-user-static
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        echo ":qemu-i386:M::$qemu_i386:$qemu_i386_mask:/usr/bin/qemu-i386-static:F" | $SUDO tee "$binfmt/register" >/dev/null
    fi
    echo 1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "setup: 32-bit Wine runs neither natively nor under qemu" >&2
        exit 1
    fi
fi

# Wine takes the ANSI code page from the locale: ru_RU.UTF-8 gives 1251, the
# code page of the program's texts; en_US.UTF-8 (1252) and ja_JP.UTF-8 (932)
# are the Windows of other languages that the end-to-end tests meet.
generate=
for locale in ru_RU en_US ja_JP; do
    locale -a 2>/dev/null | grep -qi "^$locale\.utf-\?8\$" && continue
    $SUDO sed -i "s/^# *$locale.UTF-8/$locale.UTF-8/" /etc/locale.gen
    grep -q "^$locale.UTF-8" /etc/locale.gen || echo "$locale.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    generate=1
done
[ -z "$generate" ] || $SUDO locale-gen >/dev/null
