#!/usr/bin/env python3
"""Prints src/cli/cp936_unicode_table.inc, the code page 936 table kqconvert decodes with on Linux.

    python3 tools/make_cp936_table.py > src/cli/cp936_unicode_table.inc

kqconvert shows script lines (--diff) as characters. On Linux it decodes them by a table of its
own rather than by the C library's iconv, whose code page 936 conversion is a module loaded at
run time: a program linked statically, run on a host without that module, would find none and
show every Chinese character as escapes. The table is made here from that same conversion
(glibc's CP936, through iconv in this Python's C library), so the program decodes exactly as the
system does; tests/cli/cp936_unicode_test.cpp checks it against the system again, pair by pair.

It defines two arrays, each value a character's code point (every one lies in the Basic
Multilingual Plane), 0 where the bytes stand for none: `singleByte`, the bytes 0x80-0xFF alone,
and `doubleByte`, 126 x 190 values, one row per lead byte 0x81-0xFE, in each the trail bytes
0x40-0x7E and 0x80-0xFE in order.
"""

import ctypes
import ctypes.util
import sys

LEADS = range(0x81, 0xFF)
TRAILS = [*range(0x40, 0x7F), *range(0x80, 0xFF)]
PER_LINE = 12  # lines of 95 characters


class Iconv:
    """One conversion of the C library, from code page 936 to UTF-32 (little-endian)."""

    def __init__(self):
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        pointer = ctypes.POINTER
        self.libc.iconv.argtypes = [ctypes.c_void_p, pointer(ctypes.c_char_p),
                                    pointer(ctypes.c_size_t), pointer(ctypes.c_char_p),
                                    pointer(ctypes.c_size_t)]
        self.descriptor = self.libc.iconv_open(b"UTF-32LE", b"CP936")
        if self.descriptor == ctypes.c_void_p(-1).value:
            sys.exit("make_cp936_table: this system's iconv has no CP936 conversion")

    def decode(self, data):
        """The code points the bytes stand for, or None when they stand for no character."""
        self.libc.iconv(self.descriptor, None, None, None, None)
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(16)
        source_at = ctypes.c_char_p(ctypes.addressof(source))
        target_at = ctypes.c_char_p(ctypes.addressof(target))
        source_left = ctypes.c_size_t(len(data))
        target_left = ctypes.c_size_t(len(target))
        result = self.libc.iconv(self.descriptor, ctypes.byref(source_at),
                                 ctypes.byref(source_left), ctypes.byref(target_at),
                                 ctypes.byref(target_left))
        if result == ctypes.c_size_t(-1).value or source_left.value != 0:
            return None
        produced = target.raw[:len(target) - target_left.value]
        return [int.from_bytes(produced[i:i + 4], "little") for i in range(0, len(produced), 4)]


def code_point(iconv, data):
    """The one code point the bytes stand for, 0 when they stand for none."""
    points = iconv.decode(data)
    if points is None:
        return 0
    if len(points) != 1 or not 0 < points[0] <= 0xFFFF:
        sys.exit(f"make_cp936_table: {data.hex(' ').upper()} gives {points}, "
                 "not one character of the Basic Multilingual Plane")
    return points[0]


def print_rows(values):
    for start in range(0, len(values), PER_LINE):
        print(" ".join(f"0x{value:04X}," for value in values[start:start + PER_LINE]))


def main():
    iconv = Iconv()
    print("// Made by tools/make_cp936_table.py from glibc's CP936 conversion; run it again rather")
    print("// than edit. Each value is a code point, 0 where the bytes stand for no character.")
    print("")
    print("// The bytes 0x80-0xFF alone.")
    print("constexpr std::array<std::uint16_t, 128> singleByte{")
    print_rows([code_point(iconv, bytes([byte])) for byte in range(0x80, 0x100)])
    print("};")
    print("")
    print("// One row per lead byte 0x81-0xFE, the trail bytes 0x40-0x7E then 0x80-0xFE.")
    size = f"std::size_t{{{len(LEADS)}}} * {len(TRAILS)}"
    print(f"constexpr std::array<std::uint16_t, {size}> doubleByte{{")
    for lead in LEADS:
        print(f"// lead byte 0x{lead:02X}")
        print_rows([code_point(iconv, bytes([lead, trail])) for trail in TRAILS])
    print("};")


if __name__ == "__main__":
    main()
