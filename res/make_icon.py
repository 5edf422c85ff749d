#!/usr/bin/env python3
"""Draws the application icon, a text page with a blue badge of two opposing arrows, and writes
it as res/codeshift.ico: 32-bit images of 16, 24, 32 and 48 pixels and a 256-pixel PNG.

The .ico is committed; run this again only to change the drawing:
    python3 res/make_icon.py res/codeshift.ico
"""
import struct
import sys
import zlib

SIZES = [16, 24, 32, 48, 256]
SAMPLES = {16: 8, 24: 8, 32: 6, 48: 6, 256: 3}  # supersampling per axis

OUTLINE = (0x3C, 0x46, 0x50)
PAPER = (0xFA, 0xFB, 0xFC)
FOLD = (0xC4, 0xCE, 0xD8)
TEXT = (0x8A, 0x96, 0xA3)
BADGE = (0x1E, 0x6F, 0xD9)
WHITE = (0xFF, 0xFF, 0xFF)


def inside_convex(poly, x, y):
    # Inside a convex polygon the point lies on the same side of every edge.
    n = len(poly)
    sides = set()
    for i in range(n):
        ax, ay = poly[i]
        bx, by = poly[(i + 1) % n]
        cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax)
        if cross != 0:
            sides.add(cross > 0)
    return len(sides) <= 1


def inset_convex(poly, d):
    """The polygon whose edges lie `d` inside the edges of `poly`."""
    n = len(poly)
    mx = sum(p[0] for p in poly) / n
    my = sum(p[1] for p in poly) / n
    lines = []
    for i in range(n):
        ax, ay = poly[i]
        bx, by = poly[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = (ex * ex + ey * ey) ** 0.5
        nx, ny = -ey / length, ex / length
        if nx * (mx - ax) + ny * (my - ay) < 0:  # turn the normal toward the inside
            nx, ny = -nx, -ny
        lines.append((ax + nx * d, ay + ny * d, ex, ey))
    out = []
    for i in range(n):
        px, py, dx, dy = lines[i - 1]
        qx, qy, ex, ey = lines[i]
        denom = dx * ey - dy * ex
        t = ((qx - px) * ey - (qy - py) * ex) / denom
        out.append((px + dx * t, py + dy * t))
    return out


def shapes(size):
    """Layers from back to front: (test(x, y) -> bool, colour)."""
    stroke = max(1.0 / size, 0.04)
    page = [(0.10, 0.03), (0.10, 0.97), (0.76, 0.97), (0.76, 0.25), (0.54, 0.03)]
    fold = [(0.54, 0.03), (0.54, 0.25), (0.76, 0.25)]
    inner = inset_convex(page, stroke)
    layers = [
        (lambda x, y: inside_convex(page, x, y), OUTLINE),
        (lambda x, y: inside_convex(inner, x, y), PAPER),
        (lambda x, y: inside_convex(fold, x, y), OUTLINE),
        (lambda x, y: inside_convex(inset_convex(fold, stroke * 0.8), x, y), FOLD),
    ]
    # Lines of text; the small images keep fewer, thicker lines so they stay lines.
    rows = [0.20, 0.34, 0.48] if size <= 24 else [0.18, 0.29, 0.40, 0.51]
    thick = max(1.0 / size, 0.055)
    for i, top in enumerate(rows):
        right = 0.46 if i == 0 else 0.62
        layers.append((lambda x, y, t=top, r=right: 0.20 <= x <= r and t <= y <= t + thick, TEXT))

    cx, cy, radius = 0.655, 0.655, 0.305
    ring = max(1.0 / size, 0.035)
    layers.append((lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= (radius + ring) ** 2, WHITE))
    layers.append((lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius**2, BADGE))

    shaft = max(1.2 / size, 0.05)
    head = 0.13 if size <= 16 else 0.10

    def arrow(y0, rightward):
        left, right = cx - 0.19, cx + 0.19
        if rightward:
            body = (left, right - head * 0.9)
            tip = [(right - head, y0 - head), (right - head, y0 + head), (right, y0)]
        else:
            body = (left + head * 0.9, right)
            tip = [(left + head, y0 + head), (left + head, y0 - head), (left, y0)]
        return lambda x, y: (body[0] <= x <= body[1] and abs(y - y0) <= shaft / 2) or inside_convex(
            tip, x, y
        )

    layers.append((arrow(cy - 0.09, True), WHITE))
    layers.append((arrow(cy + 0.09, False), WHITE))
    return layers


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    n = SAMPLES[size]
    layers = shapes(size)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for test, c in reversed(layers):
                        if test(x, y):
                            colour = c
                            break
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def bmp_image(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_image(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "codeshift.ico"
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, png_image(size, pixels) if size >= 256 else bmp_image(size, pixels)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        edge = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(directory + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main()
