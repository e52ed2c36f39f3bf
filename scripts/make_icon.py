#!/usr/bin/env python3
"""Draws the application icon, resources/tavrino.ico, or its scalable version.

A rounded dark-blue tile with an overshooting step response settling on a
dashed set-point line. The .ico holds the drawing rendered afresh at every size
a desktop asks for, from 16 to 256 pixels, so that the icon stays sharp at 2x
and at fractional scales: 32-bit images with alpha up to 128 pixels, the
256-pixel one as PNG, as Windows and Qt's reader expect. An output name
ending in .svg gets the same drawing as vectors, for the desktop's icon theme
(packaging/tavrino.svg).

Run from anywhere (standard library only):
    python3 scripts/make_icon.py [output.ico | output.svg]
"""

import math
import os
import struct
import sys
import zlib

SIZE = 64  # the drawing's own units; every image is this scaled
SIZES = (16, 24, 32, 48, 64, 96, 128, 256)
PNG_FROM = 256  # sizes from here on are stored as PNG
CORNER = 12  # radius of the tile's rounded corners

BG_TOP = (22, 58, 112)
BG_BOTTOM = (10, 28, 58)
GRID = (40, 78, 132)
TARGET = (255, 183, 27)  # amber set-point line
CURVE = (64, 224, 255)  # cyan response curve

# Pixel rows for the set-point and for the curve's starting level.
Y_TARGET = 23.0
Y_START = 50.0


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def coverage(dist, half_width):
    # Analytic anti-aliasing: full inside the stroke, linear over one pixel at the rim
    # (both in pixels).
    return max(0.0, min(1.0, half_width + 0.5 - dist))


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def rounded_rect_sd(px, py):
    """Signed distance to the tile's outline, negative inside."""
    half = SIZE / 2.0
    qx = abs(px - half) - (half - CORNER)
    qy = abs(py - half) - (half - CORNER)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - CORNER


def step_response():
    """Underdamped second-order step response as a polyline in pixel space."""
    zeta, wn = 0.28, 1.0
    wd = wn * math.sqrt(1 - zeta * zeta)
    phi = math.acos(zeta)
    x0, x_step, x1 = 9.0, 14.0, 56.0
    t_end = 16.0
    points = [(x0, Y_START), (x_step, Y_START)]
    n = 160
    for i in range(1, n + 1):
        t = t_end * i / n
        y = 1 - math.exp(-zeta * wn * t) * math.sin(wd * t + phi) / math.sqrt(1 - zeta * zeta)
        x = x_step + (x1 - x_step) * i / n
        points.append((x, Y_START + (Y_TARGET - Y_START) * y))
    return points


def draw(size):
    """The icon at `size` pixels: rows of (r, g, b, a), top to bottom."""
    curve = step_response()
    segments = list(zip(curve, curve[1:]))
    unit = SIZE / size  # drawing units per pixel; distances below are divided into pixels
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = (x + 0.5) * unit, (y + 0.5) * unit
            alpha = coverage(rounded_rect_sd(px, py) / unit, 0.0)
            if alpha <= 0.0:
                row.append((0, 0, 0, 0))
                continue

            col = mix(BG_TOP, BG_BOTTOM, py / SIZE)

            # Faint grid, a nod to the chart the tool draws.
            for g in (16, 32, 48):
                col = mix(col, GRID, 0.55 * coverage(abs(px - g) / unit, 0.25 / unit))
                col = mix(col, GRID, 0.55 * coverage(abs(py - g) / unit, 0.25 / unit))

            # Dashed set-point line: 5 units of dash, 3 of gap.
            if 8.0 <= px <= 57.0 and (px - 8.0) % 8.0 < 5.0:
                col = mix(col, TARGET, coverage(abs(py - Y_TARGET) / unit, 1.1 / unit))

            # Response curve on top, a little wider than the dashes.
            d = min(seg_dist(px, py, a[0], a[1], b[0], b[1]) for a, b in segments)
            col = mix(col, CURVE, coverage(d / unit, 1.6 / unit))

            row.append(tuple(int(round(c)) for c in col) + (int(round(255 * alpha)),))
        rows.append(row)
    return rows


def bmp_bytes(rows):
    """A 32-bit DIB with alpha, as an .ico entry holds it (no file header)."""
    size = len(rows)
    and_stride = ((size + 7) // 8 + 3) // 4 * 4
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(and_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:  # a set bit means transparent, for readers without alpha
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    # biHeight counts the colour plane and the mask together, hence twice the size.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png_bytes(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_bytes(sizes):
    images = []
    for size in sizes:
        rows = draw(size)
        images.append((size, png_bytes(rows) if size >= PNG_FROM else bmp_bytes(rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        # A width or height of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(image for _, image in images)


def hex_colour(rgb):
    return "#%02x%02x%02x" % rgb


def svg_text():
    """The drawing of draw() as SVG, in the same 64-unit coordinates."""
    curve = " ".join("%.2f,%.2f" % p for p in step_response())
    grid = "".join("M%d 0V%dM0 %dH%d" % (g, SIZE, g, SIZE) for g in (16, 32, 48))
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">
  <defs>
    <linearGradient id="bg" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{hex_colour(BG_TOP)}"/>
      <stop offset="1" stop-color="{hex_colour(BG_BOTTOM)}"/>
    </linearGradient>
    <clipPath id="tile"><rect width="{SIZE}" height="{SIZE}" rx="{CORNER}"/></clipPath>
  </defs>
  <rect width="{SIZE}" height="{SIZE}" rx="{CORNER}" fill="url(#bg)"/>
  <path clip-path="url(#tile)" d="{grid}" stroke="{hex_colour(GRID)}" stroke-opacity="0.55" stroke-width="0.5"/>
  <path d="M8 {Y_TARGET:g}H57" stroke="{hex_colour(TARGET)}" stroke-width="2.2" stroke-dasharray="5 3"/>
  <polyline points="{curve}" fill="none" stroke="{hex_colour(CURVE)}" stroke-width="3.2"
            stroke-linejoin="round" stroke-linecap="round"/>
</svg>
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "tavrino.ico")
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    data = svg_text().encode() if out.endswith(".svg") else ico_bytes(SIZES)
    with open(out, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.normpath(out)} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
