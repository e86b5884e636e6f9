#!/usr/bin/env bash
# Shows the shipping build, the i686 Brisvane.exe, doing its job on a 32-bit
# Windows: a throwaway 32-bit Wine prefix in build/demo that holds one
# installed printer with a supported driver.
#   With a usable $DISPLAY the installer's dialogs open for you to answer.
#   Without one, the whole round (switch the warnings off, then on again) is
#   walked on a virtual display by the test driver, and every dialog and
#   message box is saved as a screenshot in build/demo/screenshots.
# The registry keys are printed before and after. Restart requests only go
# to a stub that logs them.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
demo=$root/build/demo
prefix=$demo/prefix
shots=$demo/screenshots

bash "$root/scripts/setup.sh"
cmake --preset i686 >/dev/null
cmake --build --preset i686 >/dev/null

source "$root/scripts/wine-env.sh"
source "$root/tests/wine/lib.sh"
driver=$root/build/i686/tests/wine/brisvane_driver.exe
installer="Z:${root//\//\\}\\build\\i686\\Brisvane.exe"
watcher=""

cleanup() {
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
    [ -d "$prefix" ] && e2e_stop "$prefix"
    wine_cleanup
}
trap cleanup EXIT
trap 'exit 130' INT TERM

state_script() {
    cat <<'SCRIPT'
dump "System\CurrentControlSet\control\Print\Printers\Office Printer"
dump SOFTWARE\Brisvane
dump SOFTWARE\Merravin
SCRIPT
}

# Feeds a driver script; its transcript goes to standard output.
drive() {
    WINEPREFIX=$prefix timeout 180 "$WINE" "$driver" "$installer" "$@"
}

interactive=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    interactive=1
else
    unset DISPLAY
    wine_start_display
fi

echo "demo: preparing a prefix in build/demo with the printer \"Office Printer\" (driver TX 212)"
mkdir -p "$demo"
wine_template_prefix "$root/build/wine/template-win32" win32
e2e_template "$root/build/wine/template-win32" "$root/build/wine/e2e-win32" \
    "$root/build/i686/tests/wine/restart_stub.exe"
e2e_clone "$root/build/wine/e2e-win32" "$prefix"
if [ $interactive -eq 0 ]; then
    # A virtual desktop draws the windows' captions, which bare Xvfb lacks.
    WINEPREFIX=$prefix "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    WINEPREFIX=$prefix "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 800x600 \
        /f >/dev/null 2>&1
    # The desktop is chosen when a session starts: start the next one afresh.
    e2e_stop "$prefix"
fi
echo
echo "== registry before"
{ echo 'printer "Office Printer" "TX 212"'; state_script; } | drive

if [ $interactive -eq 1 ]; then
    echo
    echo "demo: the installer is open on $DISPLAY"
    WINEPREFIX=$prefix "$WINE" "$root/build/i686/Brisvane.exe" || true
    echo
    echo "== registry after"
    { state_script; echo restarts; } | drive
    exit 0
fi

# The driver leaves NN-kind.want in the shot directory for each dialog and
# waits until it is gone; the screenshot is taken here, on the Unix side.
rm -rf "$shots" "$prefix/drive_c/shots"
mkdir -p "$shots" "$prefix/drive_c/shots"
(
    while :; do
        for want in "$prefix"/drive_c/shots/*.want; do
            [ -e "$want" ] || continue
            name=$(basename "$want" .want)
            xwd -root -silent | convert xwd:- -crop 800x600+0+0 +repage "$shots/$name.png"
            rm -f "$want"
        done
        sleep 0.1
    done
) &
watcher=$!

{
    echo 'echo'
    echo 'echo == switching the warnings off: notice OK, action OK, printer OK, restart offer OK'
    echo 'run enter enter enter enter'
    echo 'echo'
    echo 'echo == registry between'
    state_script
    echo 'echo'
    echo 'echo == switching them on again: notice OK, action OK, restart offer OK'
    echo 'run enter enter enter'
    echo 'echo'
    echo 'echo == registry after'
    state_script
    echo 'restarts'
} | drive 'C:\shots'

echo
echo "demo: screenshots of every dialog and message box, in order:"
ls -1 "$shots"/*.png | sed "s|^$root/||"
