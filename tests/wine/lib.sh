# Sourced by tests/wine/run.sh and scripts/demo.sh, after scripts/wine-env.sh.
#   e2e_template BASE DIR STUB [STUB32]
#                               makes (once per stub and helper version) the prefix the cases copy:
#                               BASE with wineboot.exe replaced by STUB (the
#                               driver has Wine load it), in a 64-bit prefix
#                               the 32-bit one by STUB32, and relay tracing of
#                               the calls the tests look at
#   e2e_clone SRC DST           a quick copy of it for one case
#   e2e_stop DIR                ends the prefix's processes and its wineserver
#   e2e_calls FILE              the traced calls of a relay log, one per line, a
#                               line for each user32 that an unattended run loaded,
#                               and each custom action that called MsiSetMode
#   e2e_package_rows DIR FILE   appends the rows of DIR/Brisvane.msi's tables that
#                               its rollbacks and its versioned program stand on

# The calls whose arguments the tests check: the size given for the patch
# record, the restart requests and the events reported.
E2E_RELAY_CALLS="RegSetValueExA;ExitWindowsEx;InitiateSystemShutdownExA;ReportEventW"

# A restart request runs wineboot.exe from the system directory of the
# requesting program's own architecture: for a 32-bit program in a 64-bit
# prefix that is syswow64.
e2e_template() {
    local base=$1 dir=$2 stub=$3 stub32=${4:-} stamp
    stamp=$(cat "$stub" ${stub32:+"$stub32"} "${BASH_SOURCE[0]}" | sha256sum | cut -c1-16)
    [ "$(cat "$dir/.e2e-ready" 2>/dev/null)" = "$stamp" ] && return 0
    rm -rf "$dir"
    cp -a "$base" "$dir"
    cp "$stub" "$dir/drive_c/windows/system32/wineboot.exe"
    if [ -n "$stub32" ]; then
        cp "$stub32" "$dir/drive_c/windows/syswow64/wineboot.exe"
    fi
    WINEPREFIX="$dir" timeout 60 "$(wine_loader "$dir")" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
        /t REG_SZ /d "$E2E_RELAY_CALLS" /f >/dev/null 2>&1
    WINEPREFIX="$dir" timeout 60 "$WINESERVER" -w || WINEPREFIX="$dir" "$WINESERVER" -k
    echo "$stamp" >"$dir/.e2e-ready"
}

# The big system32 and syswow64 are hard-linked, since nothing writes into
# them; every other file is copied, so that no case can change the template.
# Wine replaces its registry files rather than rewriting them, but they are
# copied all the same.
e2e_clone() {
    local src=$1 dst=$2 file
    rm -rf "$dst"
    cp -al "$src" "$dst"
    while IFS= read -r -d '' file; do
        cp -a --remove-destination "$src/${file#"$dst"/}" "$file"
    done < <(find "$dst" \( -path "$dst/drive_c/windows/system32" -o -path "$dst/drive_c/windows/syswow64" \) -prune \
        -o -type f -print0)
}

e2e_stop() {
    WINEPREFIX="$1" "$WINESERVER" -k >/dev/null 2>&1 || true
    WINEPREFIX="$1" timeout 10 "$WINESERVER" -w >/dev/null 2>&1 || true
}

# Relay lines look like
#   0104:0108:Call advapi32.RegSetValueExA(00000078,140002150 "Printer Name",00000000,00000001,0021f590,20000000e) ret=...
# A DWORD argument arrives in a 64-bit register whose upper half is left
# over, so only the low 32 bits are read.
e2e_calls() {
    sed -n -e 's/^.*:Call advapi32\.RegSetValueExA([0-9a-f]*,[0-9a-f]* \("[^"]*"\),[0-9a-f]*,\([0-9a-f]*\),[0-9a-f]*,\([0-9a-f]*\)).*$/RegSetValueExA \1 \2 \3/p' \
        -e 's/^.*:Call user32\.ExitWindowsEx(\([0-9a-f]*\),\([0-9a-f]*\)).*$/ExitWindowsEx \1 \2/p' \
        -e 's/^.*:Call advapi32\.InitiateSystemShutdownExA(\([0-9a-f]*\),\([0-9a-f]*\),\([0-9a-f]*\),\([0-9a-f]*\),\([0-9a-f]*\),\([0-9a-f]*\)).*$/InitiateSystemShutdownExA \1 \2 \3 \4 \5 \6/p' "$1" |
        while read -r call rest; do
            case $call in
            RegSetValueExA)
                local size=${rest##* } type
                rest=${rest% *}
                type=${rest##* }
                printf 'call RegSetValueExA %s type %d size %d\n' "${rest% *}" $((16#${type: -8})) $((16#${size: -8}))
                ;;
            ExitWindowsEx)
                set -- $rest
                printf 'call ExitWindowsEx flags %d reason %d\n' $((16#${1: -8})) $((16#${2: -8}))
                ;;
            InitiateSystemShutdownExA)
                set -- $rest
                printf 'call InitiateSystemShutdownExA machine %d message %d timeout %d force %d reboot %d reason %d\n' \
                    $((16#${1: -8})) $((16#${2: -8})) $((16#${3: -8})) $((16#${4: -8})) $((16#${5: -8})) $((16#${6: -8}))
                ;;
            esac
        done
    # The events reported after the driver's mark: each one's type and ID from
    # the relay trace, then from Wine's eventlog channel (trace, warn or err by
    # its type) the first two lines of its text, the computer's name masked and
    # the second line cut to 40 characters, since the channel cuts the text at
    # about 290 bytes of its escaped form.
    python3 - "$1" <<'EOF'
import re, sys
shown, escapes = False, {"r": "\r", "n": "\n", "t": "\t"}
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    shown = shown or line.startswith("e2e: events from here")
    call = re.search(r":Call advapi32\.ReportEventW\([0-9a-f]+,([0-9a-f]+),[0-9a-f]+,([0-9a-f]+),", line)
    event = re.search(r":(trace|warn|err):eventlog:ReportEventW L\"(.*?)\"(\.\.\.)?$", line.rstrip())
    if shown and call:
        print("call ReportEventW type %d id %d" % (int(call[1][-8:], 16), int(call[2][-8:], 16)))
    if shown and event:
        text = re.sub(r"\\([0-9a-f]{4}|.)", lambda e: chr(int(e[1], 16)) if len(e[1]) == 4 else escapes.get(e[1], e[1]),
                      event[2])
        lines = re.sub(r"^(Запуск на )[^:]*:", r"\1<computer>:", text).split("\r\n")
        for text_line in [lines[0]] + [rest[:40] for rest in lines[1:2]]:
            print(("event %s: %s" % (event[1], text_line)).rstrip())
EOF
    # Windows Installer refuses MsiSetMode to an action run from the script
    # (type bit 0x400: deferred, rollback or commit), though Wine allows it;
    # each call is put down to the custom action last started, and both of
    # Wine's sides of one call count once.
    awk '/:trace:msi:ACTION_CustomAction Handling custom action L"/ {
            split($0, part, "\""); action = part[2]
            type = $0; sub(/.*" \(/, "", type); sub(/ .*/, "", type)
            type = "00" type; digit = index("0123456789abcdef", substr(type, length(type) - 2, 1)) - 1
            script = int(digit / 4) % 2 ? "from the script" : "immediate"; said = 0 }
        /:trace:msi:MsiSetMode / && !said { print "call MsiSetMode in " action " (" script ")"; said = 1 }' "$1"
    # An unattended run shows no window, so it must never load the window
    # manager; the driver marks where each one starts and ends. The desktop
    # process Wine starts meanwhile loads it too: only the thread that loaded
    # the installer counts.
    awk '/^e2e: unattended run starts/ { on = 1; thread = "" } /^e2e: unattended run ends/ { on = 0 }
        on && /:loaddll:/ && tolower($0) ~ /[\\\/]brisvane\.exe"/ { thread = substr($0, 1, index($0, ":")) }
        on && /:loaddll:/ && tolower($0) ~ /[\\\/]user32\.dll/ && substr($0, 1, index($0, ":")) == thread {
            print "user32.dll loaded by an unattended run" }' "$1"
}

# Each package's product code in the transcript becomes its name: the 32-bit
# and the 64-bit package of one version have different codes.
e2e_package_rows() {
    local name code
    msiinfo export "$1/Brisvane.msi" InstallExecuteSequence | tr -d '\r' | awk -F'\t' '$1 ~ /^Switch|^Restart/ {
        print "table InstallExecuteSequence: " $1 " | " $2 " | " $3 }' >>"$2"
    msiinfo export "$1/Brisvane.msi" File | tr -d '\r' | awk -F'\t' 'NR > 3 { print "table File: " $1 " version " $5 }' >>"$2"
    for name in Brisvane.msi next/Brisvane.msi; do
        code=$(msiinfo export "$1/$name" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
        sed -i "s|$code|<product code of $name>|g" "$2"
    done
}
