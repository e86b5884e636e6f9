# Sourced by the scripts that run the Windows builds under Wine.
#   wine_start_display        starts Xvfb on a free display and exports DISPLAY
#   wine_template_prefix DIR [ARCH]
#                             makes (once) a fresh prefix in DIR, ready to copy:
#                             win64 (the default) or win32, a 32-bit Windows
#   wine_loader DIR           the wine command of the prefix's own architecture,
#                             for its system tools: $WINE (32-bit) or $WINE64
#   wine_clone_prefix SRC DST copies a template prefix for one run
#   wine_stop_prefix DIR      ends every Wine process of that prefix
#   wine_cleanup              ends what wine_start_display started
# Xvfb runs as a background job: wait for a process by its PID, never with a
# bare `wait`, which would wait for Xvfb too.
# Everything runs with LANG=ru_RU.UTF-8, so that Wine's ANSI code page is 1251.

WINE=${WINE:-/usr/lib/wine/wine}
WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes a prefix's architecture from the prefix itself; WINEARCH only
# matters when one is made, and a stray one would make Wine refuse the other.
unset WINEARCH

# Where the kernel runs no 32-bit code, scripts/setup.sh registers qemu for
# i386 programs, and Wine's 32-bit side runs under it.
_wine_under_qemu() {
    [ "$(head -n 1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)" = enabled ]
}

_wine_xvfb_pid=""

wine_start_display() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    _wine_xvfb_pid=$!
    local number=""
    read -r -t 30 number <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$number" ]; then
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$number"
}

wine_template_prefix() {
    local dir arch=${2:-win64} loader=$WINE64 overrides=$WINEDLLOVERRIDES
    # Wine refuses a relative prefix path.
    dir=$(realpath -m "$1")
    [ -f "$dir/.ready" ] && return 0
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    [ "$arch" = win32 ] && loader=$WINE
    # Under qemu, the media framework's registration runs the 32-bit wineboot
    # out of address space, and a driver host now and then crashes, where
    # Wine's debugger would wait for ever: without it the crash only ends
    # that process. A wineboot that fails all the same makes the prefix once
    # more, and a process of Wine's that it leaves running is ended.
    _wine_under_qemu && overrides="$overrides;winegstreamer=;winedbg.exe=d"
    local try status
    for try in 1 2; do
        rm -rf "$dir"
        status=0
        WINEARCH=$arch WINEPREFIX="$dir" WINEDLLOVERRIDES=$overrides timeout 300 "$loader" wineboot -i \
            >/dev/null 2>&1 || status=$?
        WINEPREFIX="$dir" timeout 60 "$WINESERVER" -w || WINEPREFIX="$dir" "$WINESERVER" -k || true
        [ $status -ne 0 ] || break
    done
    if [ ! -f "$dir/system.reg" ]; then
        echo "wine-env: could not create the Wine prefix $dir" >&2
        return 1
    fi
    touch "$dir/.ready"
}

wine_loader() {
    if grep -q '^#arch=win32' "$1/system.reg" 2>/dev/null; then echo "$WINE"; else echo "$WINE64"; fi
}

wine_clone_prefix() {
    rm -rf "$2"
    cp -a "$1" "$2"
}

wine_stop_prefix() {
    WINEPREFIX="$1" "$WINESERVER" -k >/dev/null 2>&1 || true
}

wine_cleanup() {
    if [ -n "$_wine_xvfb_pid" ]; then
        kill "$_wine_xvfb_pid" 2>/dev/null || true
        wait "$_wine_xvfb_pid" 2>/dev/null || true
        _wine_xvfb_pid=""
    fi
}
