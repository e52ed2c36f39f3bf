#!/usr/bin/env python3
"""Draws the application icon, resources/tavrino.ico, or its scalable version.

A rounded dark-blue tile with an overshooting step response settling on a
dashed set-point line. The .ico holds one 64 x 64 image at 24 bits per pixel,
uncompressed, because that is what the resource file and the window expect.
An output name ending in .svg gets the same drawing as vectors, for the
desktop's icon theme (packaging/tavrino.svg).

Run from anywhere (standard library only):
    python3 scripts/make_icon.py [output.ico | output.svg]
"""

import math
import os
import struct
import sys

SIZE = 64
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
    # Analytic anti-aliasing: full inside the stroke, linear over one pixel at the rim.
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


def draw():
    curve = step_response()
    segments = list(zip(curve, curve[1:]))
    pixels = []  # rows top to bottom, each a list of (r, g, b)
    opaque = []  # same layout, True where the tile covers the pixel
    for y in range(SIZE):
        row, mask_row = [], []
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            inside = rounded_rect_sd(px, py) <= 0.0
            mask_row.append(inside)
            if not inside:
                # Transparent pixels are black in the colour plane so the AND mask shows through cleanly.
                row.append((0, 0, 0))
                continue

            col = mix(BG_TOP, BG_BOTTOM, py / SIZE)

            # Faint grid, a nod to the chart the tool draws.
            for g in (16, 32, 48):
                col = mix(col, GRID, 0.55 * coverage(abs(px - g), 0.25))
                col = mix(col, GRID, 0.55 * coverage(abs(py - g), 0.25))

            # Dashed set-point line: 5 px dashes with 3 px gaps.
            if 8.0 <= px <= 57.0 and (px - 8.0) % 8.0 < 5.0:
                col = mix(col, TARGET, coverage(abs(py - Y_TARGET), 1.1))

            # Response curve on top, a little wider than the dashes.
            d = min(seg_dist(px, py, a[0], a[1], b[0], b[1]) for a, b in segments)
            col = mix(col, CURVE, coverage(d, 1.6))

            row.append(tuple(int(round(c)) for c in col))
        pixels.append(row)
        opaque.append(mask_row)
    return pixels, opaque


def ico_bytes(pixels, opaque):
    xor_stride = (SIZE * 3 + 3) // 4 * 4
    and_stride = ((SIZE + 7) // 8 + 3) // 4 * 4

    xor = bytearray()
    for row in reversed(pixels):  # DIBs are stored bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (xor_stride - len(line))
        xor += line

    mask = bytearray()
    for mask_row in reversed(opaque):
        line = bytearray(and_stride)
        for x, inside in enumerate(mask_row):
            if not inside:  # a set bit means transparent
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    # biHeight counts the colour plane and the mask together, hence twice the size.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)

    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return icondir + entry + image


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
    data = svg_text().encode() if out.endswith(".svg") else ico_bytes(*draw())
    with open(out, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.normpath(out)} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
