#!/usr/bin/env python3
"""Checks a built Brisvane.exe: PE32 GUI, system imports only, and every
resource exactly as the installer's dialogs, notice, icon, manifest and
version record must be. With --dll, BrisvaneActions.dll instead: a DLL that
imports system DLLs only, no C runtime, and exports the custom actions under
the names the installer package's CustomAction table gives.
Usage: check_exe.py FILE [--machine i386|amd64] [--dll]"""
import struct
import subprocess
import sys

LANG_RUSSIAN = 0x0419
DIALOG_STYLE = 0x90C008C4
BUTTON, STATIC, COMBOBOX = 0x80, 0x82, 0x85
OK, CANCEL = "ОК", "Отмена"
TITLE = "Обновление программы Zandor"
# user32 is loaded where a window is first shown, never imported: an import
# would load the window manager into every unattended run.
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll"}
# The Windows Installer loads the custom actions into its own process, where
# msi.dll is already there; a C runtime DLL would have to be there too, and
# msvcrt.dll is not Microsoft's to promise.
ACTION_DLLS = SYSTEM_DLLS | {"msi.dll"}
ACTIONS = ["RestartIfSwitched", "SwitchOff", "SwitchOffRollback", "SwitchOn", "SwitchOnRollback"]

# id, class atom, text, style, x, y, cx, cy
DIALOGS = {
    105: ((296, 148), [
        (1, BUTTON, OK, 0x50010001, 239, 7, 50, 14),
        (2, BUTTON, CANCEL, 0x50010000, 239, 24, 50, 14),
        (0xFFFF, BUTTON, "", 0x50000007, 7, 3, 229, 138),
        (1006, STATIC, "", 0x50020000, 13, 13, 217, 122),
    ]),
    104: ((225, 59), [
        (1, BUTTON, OK, 0x50010001, 166, 7, 50, 14),
        (2, BUTTON, CANCEL, 0x50010000, 166, 24, 50, 14),
        (1001, BUTTON, "Отключить сообщения 'Мало Тонера'", 0x50020009, 14, 14, 143, 10),
        (1002, BUTTON, "Включить сообщения 'Мало Тонера'", 0x50000009, 14, 30, 143, 10),
        (0xFFFF, BUTTON, "", 0x50000007, 7, 3, 155, 48),
    ]),
    102: ((225, 59), [
        (1, BUTTON, OK, 0x50010001, 166, 7, 50, 14),
        (2, BUTTON, CANCEL, 0x50010000, 166, 24, 50, 14),
        (1000, COMBOBOX, "", 0x50210103, 19, 23, 127, 47),
        (0xFFFF, BUTTON, "", 0x50000007, 6, 3, 154, 50),
        (0xFFFF, BUTTON, "Выберите продукт для обновления:", 0x50000007, 11, 10, 142, 35),
    ]),
}

VERSION_STRINGS = {
    "Comments": "", "CompanyName": "Zandor", "FileDescription": "Brisvane", "FileVersion": "1, 0, 0, 7",
    "InternalName": "Brisvane", "LegalTrademarks": "", "OriginalFilename": "Brisvane.exe",
    "PrivateBuild": "", "ProductName": "Zandor Brisvane", "ProductVersion": "1, 0, 0, 7", "SpecialBuild": "",
}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def sz_or_ord(data, at):
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def pe_layout(data):
    """The offset of a PE file's data directories, and its sections as
    (virtual size, RVA, raw size, file offset)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    table = optional + optional_size
    return directories, [struct.unpack_from("<8sIIII", data, table + 40 * i)[1:] for i in range(sections)]


def check_tail(data):
    """Nothing may follow the last section but, in a signed file, the
    Authenticode certificate table that the security directory names: its
    position is a file offset, and the signature covers everything before it."""
    directories, sections = pe_layout(data)
    end = max(raw + raw_size for _, _, raw_size, raw in sections)
    at, size = struct.unpack_from("<II", data, directories + 4 * 8)
    if size == 0:
        check(len(data) == end, "nothing after the last section (%d bytes)" % (len(data) - end))
        return
    check(at == end and at % 8 == 0 and at + size == len(data),
          "the certificate table (%d bytes at %d) is all that follows the last section (ends at %d of %d)"
          % (size, at, end, len(data)))
    if at + 8 <= len(data):
        length, revision, kind = struct.unpack_from("<IHH", data, at)
        check(length <= size and (revision, kind) == (0x0200, 0x0002), "one PKCS#7 signed-data certificate")


def read_resources(path):
    """The resources of a PE file as (type, name, language, bytes), read from
    its resource directory as the loader reads them."""
    data = open(path, "rb").read()
    directories, sections = pe_layout(data)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    for size, rva, raw_size, raw in sections:
        if rva <= rsrc_rva < rva + max(size, raw_size):
            base = raw + (rsrc_rva - rva)
            delta = rva - raw

    def name_of(entry):
        if entry & 0x80000000:
            at = base + (entry & 0x7FFFFFFF)
            n = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * n].decode("utf-16-le")
        return entry

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, at + 12)
        return [struct.unpack_from("<II", data, at + 16 + 8 * i) for i in range(named + ids)]

    resources = []
    for rtype, sub in entries(base):
        for name, sub2 in entries(base + (sub & 0x7FFFFFFF)):
            for language, leaf in entries(base + (sub2 & 0x7FFFFFFF)):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                resources.append((name_of(rtype), name_of(name), language, data[rva - delta:rva - delta + size]))
    return resources


def parse_dialog(body):
    style, _exstyle, count, _x, _y, cx, cy = struct.unpack_from("<IIHhhhh", body, 0)
    p = 18
    menu, p = sz_or_ord(body, p)
    cls, p = sz_or_ord(body, p)
    title, p = sz_or_ord(body, p)
    points = struct.unpack_from("<H", body, p)[0]
    font, p = sz_or_ord(body, p + 2)
    controls = []
    for _ in range(count):
        p = (p + 3) & ~3
        cstyle, cexstyle, x, y, w, h, cid = struct.unpack_from("<IIhhhhH", body, p)
        ccls, p = sz_or_ord(body, p + 18)
        text, p = sz_or_ord(body, p)
        extra = struct.unpack_from("<H", body, p)[0]
        p += 2 + extra
        controls.append((cid, ccls, text, cstyle, x, y, w, h, cexstyle))
    return style, (cx, cy), menu, cls, title, points, font, controls


def parse_version(body, at=0):
    length, value_length, kind = struct.unpack_from("<HHH", body, at)
    key, p = sz_or_ord(body, at + 6)
    p = (p + 3) & ~3
    value = body[p:p + value_length * (2 if kind else 1)]
    p = (p + len(value) + 3) & ~3
    children = []
    while p < at + length:
        child = parse_version(body, p)
        children.append(child)
        p = (p + child[3] + 3) & ~3
    return key, value, children, length


def check_dll(headers):
    lines = headers.splitlines()
    dlls = {line.split(":")[1].strip().lower() for line in lines if "DLL Name:" in line}
    check(dlls <= ACTION_DLLS, "imports only system DLLs, not %s" % sorted(dlls - ACTION_DLLS))
    check("\tDLL" in lines, "a DLL")
    check("Time/Date\t\tThu Jan  1 00:00:00 1970" in headers, "no build timestamp")
    at = lines.index("[Ordinal/Name Pointer] Table") if "[Ordinal/Name Pointer] Table" in lines else len(lines)
    exports = [line.split("]", 1)[1].strip() for line in lines[at + 1:] if line.strip().startswith("[")]
    check(exports == ACTIONS, "exports %s undecorated, not %s" % (ACTIONS, exports))


def main():
    exe = sys.argv[1]
    machine = sys.argv[sys.argv.index("--machine") + 1] if "--machine" in sys.argv else "i386"
    prefix = "i686-w64-mingw32" if machine == "i386" else "x86_64-w64-mingw32"
    headers = subprocess.run([prefix + "-objdump", "-p", exe], capture_output=True, text=True, check=True).stdout
    check(("pei-i386" if machine == "i386" else "pei-x86-64") in headers, "object format " + machine)
    if "--dll" in sys.argv:
        check_dll(headers)
        for failure in failures:
            print("FAIL:", failure)
        print("%s: %s" % (exe, "imports and exports as expected" if not failures else "%d problems" % len(failures)))
        return 1 if failures else 0
    check("(Windows GUI)" in headers, "GUI subsystem")
    dlls = {line.split(":")[1].strip().lower() for line in headers.splitlines() if "DLL Name:" in line}
    check(dlls <= SYSTEM_DLLS, "imports only system DLLs, not %s" % sorted(dlls - SYSTEM_DLLS))
    check("Time/Date\t\tThu Jan  1 00:00:00 1970" in headers, "no build timestamp")

    check_tail(open(exe, "rb").read())
    resources = read_resources(exe)

    found = {(t, n): (lang, body) for t, n, lang, body in resources}
    check(all(lang == LANG_RUSSIAN for _, _, lang, _ in resources), "every resource in Russian")
    for dialog_id, (size, expected) in DIALOGS.items():
        lang, body = found.get((5, dialog_id), (None, None))
        if body is None:
            check(False, "dialog %d present" % dialog_id)
            continue
        style, dsize, menu, cls, title, points, font, controls = parse_dialog(body)
        check(struct.unpack_from("<I", body, 0)[0] != 0xFFFF0001, "dialog %d is a standard template" % dialog_id)
        check(style == DIALOG_STYLE, "dialog %d style %#x" % (dialog_id, style))
        check(dsize == size, "dialog %d size %s" % (dialog_id, dsize))
        check(menu == "" and cls == "", "dialog %d has no menu or class" % dialog_id)
        check(title == TITLE, "dialog %d caption" % dialog_id)
        check((points, font) == (8, "MS Sans Serif"), "dialog %d font" % dialog_id)
        got = [c[:8] for c in controls]
        check(got == expected, "dialog %d controls:\n  got      %s\n  expected %s" % (dialog_id, got, expected))
        check(all(c[8] == 0 for c in controls), "dialog %d controls have no extended style" % dialog_id)

    # String 1 lives in block 1 at index 1: length-prefixed UTF-16 entries.
    lang, block = found.get((6, 1), (None, b""))
    p, strings = 0, []
    while p + 2 <= len(block):
        n = struct.unpack_from("<H", block, p)[0]
        strings.append(block[p + 2:p + 2 + 2 * n].decode("utf-16-le"))
        p += 2 + 2 * n
    notice = strings[1] if len(strings) > 1 else ""
    check(notice.startswith("Инсталлятор программного обеспечения Zandor") and "'OК'" in notice
          and notice.endswith("запаса тонера.") and len(notice) == 792, "notice text, string 1")

    icons = [body for (t, n), (lang, body) in found.items() if t == 3]
    check(len(icons) == 1 and struct.unpack_from("<iiHH", icons[0], 4) == (32, 64, 1, 4), "one 32x32 16-colour icon")
    check((14, 101) in found, "icon group 101")

    manifest = found.get((24, 1), (None, b""))[1].decode("utf-8")
    check('level="requireAdministrator"' in manifest, "manifest asks for elevation")
    check("Common-Controls" not in manifest, "manifest keeps the classic controls")

    key, value, children, _ = parse_version(found.get((16, 1), (None, b""))[1])
    signature, _, ms, ls, pms, pls, mask, flags, os_, ftype = struct.unpack_from("<10I", value, 0)
    check(signature == 0xFEEF04BD and (ms, ls, pms, pls) == (0x10000, 7, 0x10000, 7), "version 1.0.0.7")
    check((flags, os_, ftype) == (0, 0x40004, 1), "file flags, OS and type")
    strings = {}
    for child in children:
        if child[0] == "StringFileInfo":
            check([t[0] for t in child[2]] == ["041904e3"], "one string block 041904e3")
            for table in child[2]:
                for entry in table[2]:
                    strings[entry[0]] = entry[1].decode("utf-16-le").rstrip("\0")
    check(strings == VERSION_STRINGS, "version strings %s" % strings)

    for failure in failures:
        print("FAIL:", failure)
    print("%s: %s" % (exe, "resources and headers as expected" if not failures else "%d problems" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
