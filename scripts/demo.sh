#!/usr/bin/env bash
# Shows the shipping build, the i686 Brisvane.exe, doing its job on a 32-bit
# Windows: a throwaway 32-bit Wine prefix in build/demo that holds one
# installed printer with a supported driver.
#   With a usable $DISPLAY the installer's dialogs open for you to answer.
#   Without one, the whole round (switch the warnings off, then on again) is
#   walked on a virtual display by the test driver, every dialog and message
#   box is saved as a screenshot in build/demo/screenshots, and the demo ends
#   non-zero, saying why in one line, unless all seven appeared with their
#   captions and the registry went from nothing to switched off and back.
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
    # Bare Xvfb has no window manager to draw the windows' frames and
    # captions: Wine draws them itself, as Windows does. (Wine's virtual
    # desktop would draw them too, but under qemu it crashes.)
    WINEPREFIX=$prefix "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
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
            # The screen is black but for the one dialog.
            xwd -root -silent | convert xwd:- -trim +repage "$shots/$name.png"
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
} | drive 'C:\shots' | tee "$demo/round.txt" || true

echo
echo "demo: screenshots of every dialog and message box, in order:"
ls -1 "$shots"/*.png 2>/dev/null | sed "s|^$root/||"

# Each shot holds a dialog under its caption: a quarter of the width from
# the right, where neither text nor button stands, the caption's blue or grey
# rather than the light grey of a dialog's face.
count=0
for shot in "$shots"/*.png; do
    [ -e "$shot" ] || continue
    [ "$(convert "$shot" -format '%[fx:w > 200 && h > 80 && 255 * p{w * 3 / 4, 8}.r < 160]' info:)" = 1 ] || break
    count=$((count + 1))
done
between=$(sed -n '/^== registry between$/,/^== switching/p' "$demo/round.txt")
after=$(sed -n '/^== registry after$/,$p' "$demo/round.txt")
if [ "$count" -ne 7 ] || [ "$(ls "$shots" | wc -l)" -ne 7 ]; then
    echo "demo: FAILED: of the 7 dialogs, $count appeared with their captions (screenshots in build/demo/screenshots)" >&2
    exit 1
elif ! grep -q '"TonerLow" REG_DWORD 4 bytes: 01 00 00 00' <<<"$between" ||
    ! grep -q '"Printer Name" REG_SZ' <<<"$between" ||
    ! grep -qxF 'HKLM\SOFTWARE\Brisvane absent' <<<"$after" || grep -q 'TonerLow' <<<"$after"; then
    echo "demo: FAILED: the registry did not go from switched off to switched on again" >&2
    exit 1
fi
echo "demo: the whole round, 7 dialogs and the registry switched off and on again"
