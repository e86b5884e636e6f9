#!/usr/bin/env python3
"""Prints the product name, the manufacturer and the version that the
installer package takes from Brisvane.exe's version record, one NAME=VALUE a
line, for wixl's -D:
    ProductName=Zandor Brisvane
    Manufacturer=Zandor
    Version=1.0.0.7
The record is the one place they are written down; the package repeats them
so that Programs and Features shows what the program's Properties show.
Usage: version-info.py EXE"""
import struct
import sys

RT_VERSION = 16


def version_record(data):
    """The bytes of the first version resource, found through the resource
    directory as the loader finds it."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    rsrc = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    sections = [struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * i)[1:] for i in range(count)]
    size, rva, raw_size, raw = next(s for s in sections if s[1] <= rsrc < s[1] + max(s[0], s[2]))
    base = raw + rsrc - rva

    def first(at, wanted=None):
        named, ids = struct.unpack_from("<HH", data, at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, at + 16 + 8 * i)
            if wanted is None or name == wanted:
                return target & 0x7FFFFFFF
        raise SystemExit("version-info: no version record")

    leaf = base + first(base + first(base + first(base, RT_VERSION)))
    at, length = struct.unpack_from("<II", data, leaf)
    return data[at - rva + raw:at - rva + raw + length]


def children(block, at, end):
    """(key, value bytes, start, end) of each VERSIONINFO block from at to end."""
    while at < end:
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        key_end = at + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[at + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        yield key, block[value:value + value_length * (2 if kind else 1)], value, at + length
        at = (at + length + 3) & ~3


def main():
    record = version_record(open(sys.argv[1], "rb").read())
    _, fixed, start, end = next(children(record, 0, len(record)))
    ms, ls = struct.unpack_from("<II", fixed, 16)  # dwProductVersionMS, dwProductVersionLS
    strings = {}
    for key, _, at, block_end in children(record, (start + len(fixed) + 3) & ~3, end):
        if key == "StringFileInfo":
            for _, _, table_at, table_end in children(record, at, block_end):
                for name, value, _, _ in children(record, table_at, table_end):
                    strings[name] = value.decode("utf-16-le").rstrip("\0")
    print("ProductName=" + strings["ProductName"])
    print("Manufacturer=" + strings["CompanyName"])
    print("Version=%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))


if __name__ == "__main__":
    main()
