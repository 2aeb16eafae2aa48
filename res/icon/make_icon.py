#!/usr/bin/env python3
"""Draws the program's icon: a globe with a meridian grid, 32 bits per pixel, drawn anew for each
scale: 64, 80, 96 and 128 pixels (100, 125, 150 and 200 %). The three smaller images are stored as
bitmaps, which every Windows from XP on reads; the 128-pixel one PNG-compressed, which only Windows
Vista and later read (XP asks for it only at 200 %, and the program then takes the 96-pixel one).

Writes Internet.ico beside this script. Standard library only; run it again after a change:
    python3 res/icon/make_icon.py
"""
import math
import os
import struct
import zlib

SIZES = (64, 80, 96, 128)
PNG_FROM = 128  # images this large are stored PNG-compressed
SAMPLES = 4  # supersampling per axis, for smooth edges

# The drawing at 64 pixels; every length scales with the image.
SIZE = 64
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


def render(size):
    scale = SIZE / size  # from the image's pixels to the drawing's
    pixels = []
    for row in range(size):
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (col + (sx + 0.5) / SAMPLES) * scale - 0.5
                    y = (row + (sy + 0.5) / SAMPLES) * scale - 0.5
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


def bitmap_image(size, pixels):
    xor = bytearray()
    for row in reversed(range(size)):  # bottom-up rows
        for col in range(size):
            r, g, b, a = pixels[row * size + col]
            xor += bytes((b, g, r, a))
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(range(size)):
        bits = bytearray(mask_row_bytes)
        for col in range(size):
            if pixels[row * size + col][3] == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def png_image(size, pixels):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    rows = b''.join(b'\0' + bytes(c for p in pixels[row * size:(row + 1) * size] for c in p)
                    for row in range(size))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(rows, 9)) +
            chunk(b'IEND', b''))


def ico_bytes():
    images = [(size, (png_image if size >= PNG_FROM else bitmap_image)(size, render(size)))
              for size in SIZES]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:  # a width or height of 256 would be stored as 0
        data += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return data + b''.join(image for _, image in images)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'Internet.ico')
    with open(out, 'wb') as f:
        f.write(ico_bytes())
    print('wrote', out)


if __name__ == '__main__':
    main()
