#!/usr/bin/env python3
"""Foreground-mask agreement of two renderings of one scene.

    mask_iou.py OURS.png THEIRS.png [--tolerance N] [--diff OUT.png]

A pixel is foreground when some channel differs by more than N (default
12) from the image's background colour: the colour most of the four
corners share (the top-left one when they all differ). Prints
"IOU OURS_COUNT THEIRS_COUNT WIDTH HEIGHT"; IoU is 1 when both images are
all background. Exit status 2 when an image cannot be read or the sizes
differ. Standard library only (zlib for PNG).
"""
import struct
import sys
import zlib
from collections import Counter


def read_png(path):
    """Returns (width, height, rows) with rows as lists of (r, g, b) tuples."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header, palette = 8, [], None, None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError(f"{path}: no IHDR")
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise ValueError(f"{path}: only 8-bit non-interlaced PNG is read")
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = prev[x]
            c = prev[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        prev = line
        if colour == 3:
            rows.append([palette[v] for v in line])
        elif channels <= 2:
            rows.append([(line[x], line[x], line[x]) for x in range(0, stride, channels)])
        else:
            rows.append([tuple(line[x:x + 3]) for x in range(0, stride, channels)])
    return width, height, rows


def write_png(path, width, height, rows):
    """Writes 8-bit RGB ROWS (bytes of 3 * WIDTH each) as a PNG."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def background(rows):
    corners = [rows[0][0], rows[0][-1], rows[-1][0], rows[-1][-1]]
    colour, count = Counter(corners).most_common(1)[0]
    return colour if count > 1 else corners[0]


def mask(rows, tolerance):
    bg = background(rows)
    return [[max(abs(p[0] - bg[0]), abs(p[1] - bg[1]), abs(p[2] - bg[2])) > tolerance
             for p in row] for row in rows]


def main(argv):
    args, tolerance, diff = [], 12, None
    it = iter(argv[1:])
    for a in it:
        if a == "--tolerance":
            tolerance = int(next(it))
        elif a == "--diff":
            diff = next(it)
        else:
            args.append(a)
    if len(args) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        w1, h1, ours = read_png(args[0])
        w2, h2, theirs = read_png(args[1])
    except (OSError, ValueError, zlib.error) as e:
        print(f"mask_iou: {e}", file=sys.stderr)
        return 2
    if (w1, h1) != (w2, h2):
        print(f"mask_iou: sizes differ: {w1}x{h1} and {w2}x{h2}", file=sys.stderr)
        return 2
    a, b = mask(ours, tolerance), mask(theirs, tolerance)
    both = either = na = nb = 0
    for ra, rb in zip(a, b):
        for pa, pb in zip(ra, rb):
            na += pa
            nb += pb
            both += pa and pb
            either += pa or pb
    if diff:  # white: both, red: only ours, green: only theirs
        colours = {(True, True): b"\xff\xff\xff", (True, False): b"\xff\x00\x00",
                   (False, True): b"\x00\xff\x00", (False, False): b"\x00\x00\x00"}
        write_png(diff, w1, h1, [b"".join(colours[(pa, pb)] for pa, pb in zip(ra, rb))
                                 for ra, rb in zip(a, b)])
    iou = both / either if either else 1.0
    print(f"{iou:.3f} {na} {nb} {w1} {h1}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
