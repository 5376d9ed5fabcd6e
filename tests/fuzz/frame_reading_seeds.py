#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_frame_reading: every conversion of `vyrconvert --list` on a small
raw frame with the options it takes, and PNG files of every layout libpng hands the tool.

    tests/fuzz/frame_reading_seeds.py out/release/tools/vyrconvert/vyrconvert

Formats are named by their place in --list, as the target reads them, so run it again when the list
changes. The bytes are fixed by a seed, so an unchanged list gives unchanged files."""
import random
import re
import struct
import subprocess
import sys
import zlib
from pathlib import Path

SEEDS = Path(__file__).resolve().parent / "frame_reading" / "seeds"
WIDTH, HEIGHT = 9, 5  # odd, so Bayer, Bicolor and YUV frames end in a partial cell


def command(flags, source=0, destination=0, unused=0, width=WIDTH, height=HEIGHT, extras=0):
    """The seven bytes before the file (see fuzz_frame_reading.cpp)."""
    return bytes([flags, source, destination, unused, width - 1, height - 1, extras])


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, depth, colour, samples, interlace=False, palette=None):
    """samples: one row of integers per line, channels interleaved."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]

    def packed(row):
        if depth == 16:
            return b"".join(struct.pack(">H", v) for v in row)
        if depth == 8:
            return bytes(row)
        bits = "".join(format(v, "0%db" % depth) for v in row)
        bits += "0" * (-len(bits) % 8)
        return bytes(int(bits[i : i + 8], 2) for i in range(0, len(bits), 8))

    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = b""
    for x0, y0, dx, dy in passes if interlace else [(0, 0, 1, 1)]:
        for y in range(y0, height, dy):
            row = [v for x in range(x0, width, dx) for v in samples[y][channels * x : channels * (x + 1)]]
            if row:
                raw += b"\0" + packed(row)
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 1 if interlace else 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    if palette:
        out += chunk(b"PLTE", bytes(palette))
    return out + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def main():
    listing = subprocess.run([sys.argv[1], "--list"], check=True, capture_output=True, text=True).stdout
    formats, conversions, section = [], [], None
    for line in listing.splitlines():
        if line.endswith(":"):
            section = line[:-1]
        elif section == "formats":
            formats.append(line.split()[0])
        elif section == "conversions":
            match = re.match(r"\s*\S+\s+(\S+) -> ([^\s,;]+)(.*)", line)
            conversions.append((match.group(1), match.group(2), match.group(3)))
    rng = random.Random(2024)
    SEEDS.mkdir(parents=True, exist_ok=True)
    for old in SEEDS.iterdir():
        old.unlink()

    def seed(name, data):
        (SEEDS / name).write_bytes(data)

    for i, (source, destination, takes) in enumerate(conversions):
        flags = 4 | (2 if i % 2 else 0)  # --from; every other one to PNG
        unused = 0
        bits = re.search(r"--unused-bits 0 to (\d+)", takes)
        if bits:
            flags |= 8
            unused = int(bits.group(1)) // 2
        extras = 2 | (i % 2) << 5  # pattern RGGB; one or two threads
        if "--pattern" in takes:
            flags |= 16
        if "--method" in takes:
            flags |= 32
            extras |= (i % 2) << 3
        if "--blue-first" in takes and i % 2:
            flags |= 64
        frame = bytes(rng.randrange(256) for _ in range(WIDTH * HEIGHT * 8))
        data = command(flags, formats.index(source), formats.index(destination), unused, extras=extras)
        seed("raw-%s-to-%s" % (source, destination), data + frame)

    mono8 = formats.index("MONO8")

    def samples(channels, depth):
        return [[rng.randrange(1 << depth) for _ in range(channels * WIDTH)] for _ in range(HEIGHT)]

    # PNG output and the default --to; MONO16 to MONO8 with 6 unused bits; RGB161616 to planes with a
    # matching --width and --height; to MONO8, which only some layouts load as.
    to = dict(default=command(2, extras=128), mono16=command(2 | 8, 0, mono8, 6),
              planes=command(2 | 128, 0, formats.index("RGBP16")), grey=command(0, 0, mono8))
    grey, rgb16 = samples(1, 8), samples(3, 16)
    pngs = {
        "grey8": (to["default"], png(WIDTH, HEIGHT, 8, 0, grey)),
        "grey8-interlaced": (to["default"], png(WIDTH, HEIGHT, 8, 0, grey, interlace=True)),
        "grey16": (to["mono16"], png(WIDTH, HEIGHT, 16, 0, samples(1, 16))),
        "rgb16": (to["planes"], png(WIDTH, HEIGHT, 16, 2, rgb16)),
        "rgb16-interlaced": (to["planes"], png(WIDTH, HEIGHT, 16, 2, rgb16, interlace=True)),
        "rgb8": (to["grey"], png(WIDTH, HEIGHT, 8, 2, samples(3, 8))),
        "rgba8": (to["grey"], png(WIDTH, HEIGHT, 8, 6, samples(4, 8))),
        "grey-alpha8": (to["grey"], png(WIDTH, HEIGHT, 8, 4, samples(2, 8))),
        "palette4": (to["grey"], png(WIDTH, HEIGHT, 4, 3, samples(1, 4), palette=range(48))),
    }
    for depth in (1, 2, 4):
        pngs["grey%d" % depth] = (to["default"], png(WIDTH, HEIGHT, depth, 0, samples(1, depth)))
    # A header that claims far more pixels than the file can hold.
    claims = png(1, 1, 8, 0, [[0]])
    claims = claims[:16] + struct.pack(">II", 20000, 20000) + claims[24:]
    claims = claims[:12] + claims[12:29] + struct.pack(">I", zlib.crc32(claims[12:29])) + claims[33:]
    pngs["claims-20000x20000"] = (to["default"], claims)
    for name, (cmd, data) in pngs.items():
        seed("png-" + name, bytes([cmd[0] | 1]) + cmd[1:] + data)
    # A raw frame far larger than its bytes, and one larger than the fuzzer's frame limit.
    seed("raw-too-short", command(4, mono8, formats.index("RGB8888"), width=256, height=256) + bytes(100))
    print("%d seeds in %s" % (len(list(SEEDS.iterdir())), SEEDS))


if __name__ == "__main__":
    main()
