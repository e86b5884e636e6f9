#!/usr/bin/env python3
"""Writes the seed inputs of the registry fuzz target into corpus/.

The input is read front to back: printer count, then per printer its name
(16-bit little-endian length and bytes) and driver mode; the patch record mode
with its data; extra keys under the maker key; an enumeration fault; a name to
apply the setting to; the user's choices in the installer's dialogs; a command
line and how often it repeats."""
import os
import struct

def text(b): return struct.pack('<H', len(b)) + b

SZ_NUL, SZ = 0x21, 0x01  # a supported driver name, with or without its NUL

def printer(name, mode, *rest): return text(name) + bytes([mode]) + b''.join(rest)

def supported(row): return bytes([row])

def tail(record=b'\0', maker=(), fault=b'\0', other=b'', on_found=1, choices=0, line=b'', repeats=0):
    return (record + bytes([len(maker)]) + b''.join(text(m) for m in maker) + fault
            + text(other) + bytes([on_found, choices]) + text(line) + bytes([repeats]))

inputs = {
    'switch_off': bytes([1]) + printer(b'Office', SZ_NUL, supported(2)) + tail(),
    'switch_on': bytes([1]) + printer(b'Office', SZ_NUL, supported(6))
        + tail(record=bytes([0x23, 1, 0]), maker=[b'Other\\QUARVEN\\0.0']),
    'record_with_backslash': bytes([1]) + printer(b'Office', SZ_NUL, supported(0))
        + tail(record=bytes([0xE2, 4]) + text(b'Office\\QUARVEN'), maker=[b'Office'], other=b'A\\B', on_found=0),
    'record_empty': bytes([0]) + tail(record=bytes([0x32, 1]) + text(b''), maker=[b'Other']),
    'record_255_and_dword_driver': bytes([2]) + printer(b'Dword', 0x02, bytes([4]), text(b'TX 212'))
        + printer(b'Mixed', 0x13 | 0x20, supported(5), text(b' extra')) + tail(record=bytes([0x22, 1]) + text(b'R' * 255)),
    'long_names_enum_fault': bytes([3]) + printer(b'L' * 254, SZ_NUL, supported(1))
        + printer(b'M' * 208, SZ_NUL, supported(1)) + printer(b'N' * 207, SZ, supported(3))
        + tail(fault=bytes([0x03, 0]), other=b'X' * 300),
    'unattended_off_quoted': bytes([1]) + printer(b'Office Printer', SZ_NUL, supported(6))
        + tail(choices=1, line=b'/off /printer "Office Printer" /restart /log C:\\run.log'),
    'unattended_on_backslashes': bytes([1]) + printer(b'Office', SZ_NUL, supported(6))
        + tail(record=bytes([0x23, 1, 0]), choices=1, line=b'-ON /log "C:\\a \\"b\\\\" ', repeats=3),
}

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
os.makedirs(here, exist_ok=True)
for name, data in inputs.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)
