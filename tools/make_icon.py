#!/usr/bin/env python3
"""Draws Tactra's icon (two fingertips on a panel) and writes it as a .ico with a
16x16 and a 32x32 image, 32 bits per pixel. No imaging library needed. With --off it
draws the tray's "Touch off" icon: the same picture in grey, struck through in red.
    tools/make_icon.py app/Tactra.ico
    tools/make_icon.py --off app/TouchOff.ico
"""
import struct
import sys


OFF = False


def pixel(size, x, y):
    """RGBA of one pixel, drawn with 4x4 supersampling for smooth edges."""
    s = size / 32.0
    acc = [0.0, 0.0, 0.0, 0.0]
    n = 4
    for sy in range(n):
        for sx in range(n):
            px = (x + (sx + 0.5) / n) / s
            py = (y + (sy + 0.5) / n) / s
            c = sample_off(px, py) if OFF else sample(px, py)
            for i in range(4):
                acc[i] += c[i]
    return tuple(int(round(v / (n * n))) for v in acc)


def inside_rounded(px, py, x0, y0, x1, y1, r):
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r and x0 <= px <= x1 and y0 <= py <= y1


def sample(px, py):
    """The design in a 32x32 coordinate space."""
    # Two fingertips, white rings with a light blue centre.
    for cx, cy in ((11.5, 13.0), (21.0, 19.5)):
        d2 = (px - cx) ** 2 + (py - cy) ** 2
        if d2 <= 5.2 ** 2:
            if d2 <= 3.0 ** 2:
                return (150, 205, 255, 255)
            return (255, 255, 255, 255)
    # The panel: a deep blue rounded square with a darker rim.
    if inside_rounded(px, py, 1, 1, 31, 31, 6):
        if inside_rounded(px, py, 2.5, 2.5, 29.5, 29.5, 4.8):
            t = py / 32.0
            return (int(20 + 20 * t), int(90 + 40 * (1 - t)), int(200 - 30 * t), 255)
        return (10, 45, 110, 255)
    return (0, 0, 0, 0)


def sample_off(px, py):
    """The same design greyed, with a red stroke from the top left to the bottom right."""
    # Distance from the diagonal x = y, inside the panel's square.
    if 3 <= px <= 29 and 3 <= py <= 29 and abs(px - py) <= 2.2:
        return (215, 30, 30, 255)
    r, g, b, a = sample(px, py)
    grey = int(round(0.3 * r + 0.59 * g + 0.11 * b))
    return (grey, grey, grey, a)


def bitmap(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += struct.pack("BBBB", b, g, r, a)
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask),
                         0, 0, 0, 0)
    return header + xor + andmask


def main(path):
    images = [bitmap(16), bitmap(32)]
    sizes = [16, 32]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    args = sys.argv[1:]
    if args and args[0] == "--off":
        OFF = True
        args = args[1:]
    main(args[0] if args else ("TouchOff.ico" if OFF else "Tactra.ico"))
