#!/usr/bin/env python3
"""Draws the program's icon: a globe with a meridian grid, 64 x 64 pixels, 32 bits per pixel.

Writes Internet_64.ico beside this script. Standard library only; run it again after a change:
    python3 res/icon/make_icon.py
"""
import math
import os
import struct

SIZE = 64
SAMPLES = 4  # supersampling per axis, for smooth edges

CENTER = (SIZE - 1) / 2.0
RADIUS = 29.0
LINE = 1.6  # half width of a grid line, in pixels
RIM = 1.4  # half width of the outline


def globe_sample(x, y):
    """Colour (r, g, b, a) of one sample point, or None outside the globe."""
    dx, dy = (x - CENTER) / RADIUS, (y - CENTER) / RADIUS
    d2 = dx * dx + dy * dy
    if d2 > 1.0:
        return None
    dz = math.sqrt(1.0 - d2)
    # Light from the upper left.
    light = max(0.0, -0.45 * dx - 0.55 * dy + 0.70 * dz)
    base = (22 + 60 * light, 94 + 90 * light, 178 + 70 * light)

    # The rim, darker.
    edge = (1.0 - math.sqrt(d2)) * RADIUS
    if edge < RIM * 2:
        return (14, 52, 110, 255)

    # Grid on the sphere: parallels at fixed latitudes, meridians at fixed longitudes.
    lat = math.asin(-dy)
    lon = math.atan2(dx, dz)
    on_line = False
    # Parallels are horizontal lines on screen; the equator is drawn a little wider.
    for parallel in (-math.pi / 3, -math.pi / 6, 0.0, math.pi / 6, math.pi / 3):
        if abs(-dy - math.sin(parallel)) * RADIUS < LINE * (1.3 if parallel == 0 else 1.0):
            on_line = True
    cos_lat = math.cos(lat)
    for meridian in (-math.pi / 2.5, -math.pi / 5, 0.0, math.pi / 5, math.pi / 2.5):
        if abs(lon - meridian) * RADIUS * cos_lat < LINE and abs(lon - meridian) < 0.5:
            on_line = True
    if on_line:
        return (235, 245, 255, 255)
    return tuple(int(min(255, c)) for c in base) + (255,)


def render():
    pixels = []
    for row in range(SIZE):
        for col in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = col + (sx + 0.5) / SAMPLES - 0.5
                    y = row + (sy + 0.5) / SAMPLES - 0.5
                    c = globe_sample(x, y)
                    if c is None:
                        continue
                    for i in range(3):
                        acc[i] += c[i] * c[3] / 255.0
                    acc[3] += c[3]
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha <= 0:
                pixels.append((0, 0, 0, 0))
                continue
            # Colour is the average of the covered samples; coverage goes to alpha.
            covered = acc[3] / 255.0
            pixels.append(tuple(int(round(acc[i] / covered)) for i in range(3)) + (int(round(alpha)),))
    return pixels


def ico_bytes(pixels):
    xor = bytearray()
    for row in reversed(range(SIZE)):  # bottom-up rows
        for col in range(SIZE):
            r, g, b, a = pixels[row * SIZE + col]
            xor += bytes((b, g, r, a))
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(range(SIZE)):
        bits = bytearray(mask_row_bytes)
        for col in range(SIZE):
            if pixels[row * SIZE + col][3] == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'Internet_64.ico')
    with open(out, 'wb') as f:
        f.write(ico_bytes(render()))
    print('wrote', out)


if __name__ == '__main__':
    main()
