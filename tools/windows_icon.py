#!/usr/bin/env python3
"""Packs PNG images into one Windows .ico file (each entry kept as PNG, as Windows Vista and later read them).

    windows_icon.py <out.ico> <image.png>...
"""
import struct
import sys


def main(out, pngs):
    images = []
    for path in pngs:
        with open(path, "rb") as png:
            data = png.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            sys.exit(f"windows_icon.py : {path} n'est pas une image PNG.")
        width, height = struct.unpack(">II", data[16:24])
        images.append((width, height, data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for width, height, data in images:
        # 256 is written as 0 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as ico:
        ico.write(header + entries + b"".join(data for _, _, data in images))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
