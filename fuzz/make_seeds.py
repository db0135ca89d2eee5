#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

Each texture_set seed is laid out as the target reads it with
FuzzedDataProvider: listing, offset table, data file, then from the end the
mode byte (odd: dxt), the listing size and the table size (16 bits each,
high byte last).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def texture_set(listing, table=b"", data=b"", dxt=False):
    if isinstance(listing, str):
        listing = listing.encode("latin-1")
    return (listing + table + data + struct.pack("<H", len(table)) +
            struct.pack("<H", len(listing)) + bytes([1 if dxt else 0]))


def le32(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def texels(*values):
    return b"".join(struct.pack("<H", v) for v in values)


def block(a0, a1, alpha_bits, c0, c1, colour_bits):
    return (bytes([a0, a1]) + alpha_bits.to_bytes(6, "little") +
            struct.pack("<HHI", c0, c1, colour_bits))


EXAMPLE = ("cat=0 name=streets\ncat=1 name=signs\n"
           "\"road\" cat=0 width=4 height=2\n\"stop\" cat=1 width=2 height=2\n")

write("texture_set", "example-etc", texture_set(
    EXAMPLE, le32(0, 0, 0, 24),
    b"HEADER!!" + texels(*range(0xF000, 0xF008)) + b"HEADER!!" + texels(1, 2, 3, 4), False))
write("texture_set", "example-dxt", texture_set(
    EXAMPLE, le32(0, 0, 0, 24),
    b"HEADER!!" + block(255, 0, 0o1234567, 0xF800, 0x001F, 0xE4E4E4E4) +
    b"HEADER!!" + block(0, 255, 0x038000, 0xFFFF, 0, 0xAAAAAAAA), True))
write("texture_set", "key-walk", texture_set(
    "\"all\" cat=2 width=8 height=8\n\"comma\" height=4,width=4\n\"glued\" cat=1width=8\n"
    "\"hidden\" height=4width=4\n\"stray\" w=1 width=4\n\"spaced\" width= 12 height=+5 cat=-1\n"
    "comment line\n\"open width=2 height=2\n", le32(*range(8)), bytes(range(256)) * 4))
write("texture_set", "long-lines", texture_set(
    "#" * 126 + "\n\"a\" width=1 height=1\n" + "#" * 127 + "\n\"b\"\n" +
    "\"" + "n" * 200 + "\" width=3 height=3\n\"c\"\n", le32(*range(0, 64, 8)), b"\x55" * 200))
write("texture_set", "text-mode", texture_set(
    b"cat=0 name=a\r\n\"crlf\" width=2 height=2\r\n\"ze\x00ro\" width=9\n\"lone\rcr\"\n"
    b"\"last\" height=7", le32(0, 0, 0), b"\x01" * 100, True))
write("texture_set", "sizes", texture_set(
    "\"zero\" width=0 height=4\n\"neg\" width=-1 height=4\n\"big\" width=16383 height=16383\n"
    "\"wrap\" width=4294967297 height=99999999999\n\"odd\" width=5 height=3\n"
    "\"line\" width=4097 height=1\n\"thin\" width=1 height=8\n",
    le32(0, 0, 0, 0, 0, 0, 0), b"HEADER!!" + block(1, 2, 3, 4, 5, 6) * 3, True))
write("texture_set", "categories", texture_set(
    "".join("cat=%d name=c%d\n" % (c, c) for c in range(70)) +
    "\"deep\" cat=68 width=1 height=1\n\"high\" cat=65537 width=1 height=1\n", b"", b""))
write("texture_set", "odd-table", texture_set(
    "\"a\" width=2 height=2\n\"b\"\n\"c\"\n", le32(0xFFFFFFFF, 3) + b"\x07", b"HEADER!!" + b"\xff" * 8))

for name, (w, h, layout, data) in {
    "6x6-4444": (6, 6, 0, block(255, 0, 0o7654321, 0xFFFF, 0, 0xE4E4E4E4) * 4),
    "5x5-short": (5, 5, 0, block(0, 255, 0x038000, 0x1234, 0x8765, 0x1B1B1B1B)[:10]),
    "1x8-565": (1, 8, 1, block(77, 77, 0o7777777777777777, 0xF800, 0x07E0, 0xFFFFFFFF) * 2),
    "4x4-8888": (4, 4, 3, block(200, 100, 0o1111222233334444, 0x001F, 0xFFE0, 0x12345678)),
    "zero-size": (0, 9, 4, b""),
}.items():
    write("block_decoder", name,
          data + bytes([layout]) + struct.pack("<H", h) + struct.pack("<H", w))

for name, args in {
    "list": ["--mode", "etc", "--json", "world.txt"],
    "export": ["--export", "7", "--output", "a.png", "world.txt"],
    "bad-mode": ["--mode", "DXT", "world.txt"],
    "dash-dash": ["--", "-strange.txt"],
    "names": ["\u00e9\u4e16\"\\\n\x01 end"],
    "replace": ["--replace", "3", "a.png", "--replace", "0", "b.dds", "--output-set",
                "new/world.txt", "--quality", "best", "--fail-below", "30.5", "world.txt"],
    "pack": ["--pack", "in", "--output-set", "p.txt", "--dither", "--json", "--mode", "etc"],
}.items():
    write("inspect_args", name, b"\x00".join(a.encode("utf-8") for a in args))
