#!/usr/bin/env python3
"""Draws the wizard's pictures and writes them into res/ (run it again only to change the art).

    python3 tools/make_resources.py [OUTPUT_DIR]      # default: <repo>/res

Every picture is our own abstract artwork, drawn here from shapes and gradients:
  banner.bmp / banner_2x.bmp   left banner of the welcome and finish pages, 164 x 314 (328 x 628),
                               4 bits per pixel with the 16-colour palette below
  header.bmp / header_2x.bmp   small picture of the heading strip, 55 x 55 (110 x 110), same format
  kqwizard.ico                 program icon: 16, 32 and 48 pixels, 24-bit colour with a mask

The 2x bitmaps are drawn from the same shapes at twice the resolution, so that a window at 200 %
shows sharp pictures and other scales shrink a sharp source. Colours are mixed by averaging
sub-samples, then reduced to the palette with ordered dithering. The output depends on nothing but
this file: running it twice gives the same bytes.
"""

import math
import os
import struct
import sys

# The 16-colour palette of both bitmaps: blues from night to sky, teal and mint, two golds, white,
# greys. Index 0 is white so that the heading picture blends with its white strip.
PALETTE = [
    (255, 255, 255),
    (8, 24, 64),
    (16, 44, 104),
    (24, 66, 142),
    (36, 92, 176),
    (58, 122, 204),
    (96, 156, 222),
    (146, 192, 236),
    (204, 228, 248),
    (20, 110, 120),
    (40, 156, 150),
    (110, 204, 180),
    (232, 176, 56),
    (252, 220, 130),
    (120, 124, 140),
    (0, 0, 0),
]

# 4 x 4 ordered-dither thresholds, centred on zero.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
DITHER_STRENGTH = 28.0

SUBSAMPLES = 3  # per axis, per output pixel


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def over(base, colour, alpha):
    return mix(base, colour, alpha)


def smoothstep(e0, e1, x):
    t = min(max((x - e0) / (e1 - e0), 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


# ---------------------------------------------------------------------------------------------
# The drawings, as colour functions of continuous coordinates.


def banner_colour(x, y):
    """Left banner, in the 164 x 314 coordinate space."""
    top, middle, bottom = (10, 28, 78), (30, 84, 164), (70, 140, 210)
    colour = mix(top, middle, y / 190.0) if y < 190 else mix(middle, bottom, (y - 190) / 124.0)

    # Faint diagonal streaks of light.
    for k in (-40.0, 30.0, 95.0):
        d = abs((x - 0.45 * y) - k)
        colour = over(colour, (255, 255, 255), 0.10 * (1.0 - smoothstep(2.0, 6.0, d)))

    # Two large rings, like ripples spreading from beyond the edges.
    d = abs(math.hypot(x - 150.0, y - 92.0) - 104.0)
    colour = over(colour, (204, 228, 248), 0.30 * (1.0 - smoothstep(4.0, 9.0, d)))
    d = abs(math.hypot(x - 18.0, y - 236.0) - 62.0)
    colour = over(colour, (110, 204, 180), 0.45 * (1.0 - smoothstep(2.5, 5.5, d)))

    # A gold sun with its glow, and a few small stars.
    r = math.hypot(x - 112.0, y - 60.0)
    colour = over(colour, (146, 192, 236), 0.40 * (1.0 - smoothstep(8.0, 26.0, r)))
    colour = over(colour, (232, 176, 56), 1.0 - smoothstep(8.5, 10.0, r))
    for sx, sy in ((28, 30), (58, 78), (140, 150), (30, 150), (90, 20), (150, 22), (74, 196)):
        colour = over(colour, (252, 220, 130), 1.0 - smoothstep(0.8, 1.8, math.hypot(x - sx, y - sy)))

    # Two waves across the foot of the banner.
    wave1 = 248.0 + 10.0 * math.sin(x / 19.0) + 4.0 * math.sin(x / 7.0 + 1.3)
    colour = over(colour, (40, 156, 150), 0.75 * smoothstep(wave1 - 1.0, wave1 + 1.0, y))
    wave2 = 276.0 + 7.0 * math.sin(x / 13.0 + 2.0)
    colour = over(colour, (20, 110, 120), 0.85 * smoothstep(wave2 - 1.0, wave2 + 1.0, y))
    wave3 = 298.0 + 4.0 * math.sin(x / 9.0 + 0.5)
    colour = over(colour, (8, 24, 64), 0.8 * smoothstep(wave3 - 1.0, wave3 + 1.0, y))
    return colour


def emblem_coverage_and_colour(u, v, stroke):
    """The emblem in unit coordinates: a blue disc with a white forward chevron and a gold dot.
    Returns (colour, coverage) where coverage 0 means outside the emblem."""
    r = math.hypot(u - 0.5, v - 0.5)
    if r > 0.47:
        return None
    # Light from the upper left.
    t = ((u - 0.15) + (v - 0.15)) / 1.3
    colour = mix((110, 176, 236), (16, 44, 104), t)
    # Rim.
    colour = over(colour, (8, 24, 64), smoothstep(0.40, 0.47, r) * 0.8)
    # Highlight.
    colour = over(colour, (204, 228, 248), 0.35 * (1.0 - smoothstep(0.0, 0.22, math.hypot(u - 0.36, v - 0.3))))
    # Forward chevron.
    d = min(distance_to_segment(u, v, 0.36, 0.28, 0.62, 0.5),
            distance_to_segment(u, v, 0.62, 0.5, 0.36, 0.72))
    if d < stroke:
        colour = (255, 255, 255)
    # Gold dot at the upper right.
    if math.hypot(u - 0.74, v - 0.26) < 0.09:
        colour = (232, 176, 56)
    return colour


def header_colour(x, y, size=55.0):
    colour = emblem_coverage_and_colour(x / size, y / size, 0.075)
    return (255, 255, 255) if colour is None else colour


# ---------------------------------------------------------------------------------------------
# Rendering.


def render(width, height, scale, colour_at):
    """Averages SUBSAMPLES^2 samples per pixel; `scale` maps output pixels to drawing units."""
    rows = []
    n = SUBSAMPLES
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / scale, (py + (sy + 0.5) / n) / scale)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            row.append(tuple(a / (n * n) for a in acc))
        rows.append(row)
    return rows


def nearest_palette_index(colour):
    best, best_d = 0, None
    for i, p in enumerate(PALETTE):
        d = (0.30 * (colour[0] - p[0])) ** 2 + (0.59 * (colour[1] - p[1])) ** 2 + (0.11 * (colour[2] - p[2])) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def to_palette(rows):
    out = []
    for y, row in enumerate(rows):
        out_row = []
        for x, c in enumerate(row):
            offset = (BAYER4[y % 4][x % 4] + 0.5) / 16.0 - 0.5
            shifted = tuple(min(max(ch + offset * DITHER_STRENGTH, 0.0), 255.0) for ch in c)
            out_row.append(nearest_palette_index(shifted))
        out.append(out_row)
    return out


# ---------------------------------------------------------------------------------------------
# File formats.


def bmp_4bpp(indices):
    height = len(indices)
    width = len(indices[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(indices):  # bottom-up
        line = bytearray(stride)
        for x, index in enumerate(row):
            if x % 2 == 0:
                line[x // 2] = index << 4
            else:
                line[x // 2] |= index
        pixels += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + bytes(pixels)


def icon_image(size):
    """One 24-bit icon image (BITMAPINFOHEADER, colour bits, mask bits), drawn from the emblem."""
    stroke = 0.075 if size >= 32 else 0.10
    n = SUBSAMPLES
    colour_rows, mask_rows = [], []
    for py in range(size):
        colour_row, mask_row = [], []
        for px in range(size):
            acc, covered = [0.0, 0.0, 0.0], 0
            for sy in range(n):
                for sx in range(n):
                    c = emblem_coverage_and_colour((px + (sx + 0.5) / n) / size,
                                                   (py + (sy + 0.5) / n) / size, stroke)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += c[i]
            if covered * 2 >= n * n:
                colour_row.append(tuple(int(round(a / covered)) for a in acc))
                mask_row.append(0)
            else:
                colour_row.append((0, 0, 0))  # black under a set mask bit shows the background
                mask_row.append(1)
        colour_rows.append(colour_row)
        mask_rows.append(mask_row)

    colour_stride = ((size * 24 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour_bits = bytearray()
    for row in reversed(colour_rows):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += bytes(colour_stride - len(line))
        colour_bits += line
    mask_bits = bytearray()
    for row in reversed(mask_rows):
        line = bytearray(mask_stride)
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        mask_bits += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                       len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    return info + bytes(colour_bits) + bytes(mask_bits)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(image), offset)
        offset += len(image)
        data += image
    return directory + entries + data


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    print(f"wrote {path} ({len(data)} bytes)")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    os.makedirs(out_dir, exist_ok=True)
    for scale, suffix in ((1, ""), (2, "_2x")):
        write(os.path.join(out_dir, f"banner{suffix}.bmp"),
              bmp_4bpp(to_palette(render(164 * scale, 314 * scale, scale, banner_colour))))
        write(os.path.join(out_dir, f"header{suffix}.bmp"),
              bmp_4bpp(to_palette(render(55 * scale, 55 * scale, scale, header_colour))))
    write(os.path.join(out_dir, "kqwizard.ico"), ico([16, 32, 48]))


if __name__ == "__main__":
    main()
