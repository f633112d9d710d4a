#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz targets into fuzz/corpus/.

The seeds are checked in; this script documents what they are and rebuilds them if the formats
ever change. Each seed is small (a few hundred bytes at most, apart from the shipped cursor), so
that the fuzzer starts from every shape of input quickly.
"""
import pathlib
import shutil
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


# ---- Numbers.dat -------------------------------------------------------------------------------

def record(values, end=b"\r\n"):
    values = list(values) + [b""] * (16 - len(values))
    return b"".join(v + end for v in values)


def numbers_seeds():
    t = "numbers_file_fuzzer"
    ann = [b"Ann", b"1 High St", b"Kew", b"VIC", b"3101", b"Australia", b"03 9000 0000", b"",
           b"", b"0400 000 000", b"Acme", b"03 9000 0001", b"", b"ann@example.com", b"", b"Friend"]
    bob = [b"Bob"] + [b"b%d" % i for i in range(2, 17)]
    write(t, "two-records-crlf", record(ann) + record(bob))
    write(t, "lone-lf", record(ann, b"\n"))
    write(t, "lone-cr", record(bob, b"\r"))
    write(t, "mixed-ends", b"A\r\nB\nC\rD\n\rE\r\r\n\n" + b"x\r\n" * 8)
    write(t, "bom", b"\xef\xbb\xbf" + record(ann))
    write(t, "cut-short", record(ann) + b"Cut\r\nhalf")
    write(t, "cp1252-line", record([b"Ren\xe9e", "Zoë".encode(), b"\x80\x9f\xff"]))
    write(t, "line-separator", record([b"Multi"] + [b""] * 14 + ["one\u2028two\u2028".encode()]))
    write(t, "nul-and-controls", record([b"N\x00ul", b"\x01\x1f\x7f", b"\t"]))
    write(t, "cyrillic", record(["Иван".encode(), "Москва".encode()]))
    write(t, "bad-utf8", record([b"\xc3", b"\xc0\xaf", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe2\x82"]))
    write(t, "empty", b"")


# ---- .CUR --------------------------------------------------------------------------------------

def cursor(pictures):
    """pictures: (width byte, height byte, hotspot x, hotspot y, data)"""
    out = struct.pack("<HHH", 0, 2, len(pictures))
    offset = 6 + 16 * len(pictures)
    for w, h, hx, hy, data in pictures:
        out += struct.pack("<BBBBHHII", w, h, 0, 0, hx, hy, len(data), offset)
        offset += len(data)
    return out + b"".join(p[4] for p in pictures)


def dib(width, height, depth, colours=0, palette=None, pixels=None, mask=None):
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, depth, 0, 0, 0, 0, colours, 0)
    if depth <= 8:
        count = colours or (1 << depth)
        palette = palette or [((i * 97) & 0xFF, (i * 53) & 0xFF, (i * 31) & 0xFF) for i in range(count)]
        header += b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette[:count])
    stride = (width * depth + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    rows = pixels or bytes((x * 7 + y) & 0xFF for y in range(height) for x in range(stride))
    masks = mask or bytes((0x55 if y % 2 else 0xAA) for y in range(height) for _ in range(mask_stride))
    return header + rows[: stride * height] + masks[: mask_stride * height]


def png(width, height):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\x00" + bytes((x * 40, y * 40, 200, 255 if (x + y) % 3 else 0) [i % 4]
                                   for x in range(width) for i in range(4)) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def cursor_seeds():
    t = "cursor_file_fuzzer"
    (CORPUS / t).mkdir(parents=True, exist_ok=True)
    shutil.copyfile(ROOT / "assets" / "HAND-M.CUR", CORPUS / t / "hand-m.cur")
    write(t, "1bit-8x8", cursor([(8, 8, 1, 1, dib(8, 8, 1))]))
    write(t, "4bit-short-table", cursor([(8, 4, 7, 3, dib(8, 4, 4, colours=3))]))
    write(t, "8bit-5x3", cursor([(5, 3, 0, 2, dib(5, 3, 8, colours=4))]))
    write(t, "24bit-3x3", cursor([(3, 3, 2, 2, dib(3, 3, 24))]))
    write(t, "32bit-alpha-4x4", cursor([(4, 4, 9, 9, dib(4, 4, 32, pixels=bytes(range(64))))]))
    write(t, "32bit-no-alpha-2x2", cursor([(2, 2, 0, 0, dib(2, 2, 32, pixels=bytes([1, 2, 3, 0] * 4)))]))
    write(t, "png-4x4", cursor([(4, 4, 3, 0, png(4, 4))]))
    write(t, "two-pictures", cursor([(16, 16, 1, 1, dib(16, 16, 1)), (2, 2, 1, 1, dib(2, 2, 4))]))
    write(t, "icon-type", struct.pack("<HHH", 0, 1, 1) + cursor([(2, 2, 0, 0, dib(2, 2, 1))])[6:])


if __name__ == "__main__":
    numbers_seeds()
    cursor_seeds()
