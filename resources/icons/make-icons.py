#!/usr/bin/env python3
"""Draws the monitor's tray icons: a watchdog's eye on a shield.

Each icon holds a 16x16 and a 32x32 image, 32-bit with alpha, drawn by
supersampling simple shapes, so the script needs nothing beyond Python.
Run it from this folder; it rewrites the .ico files beside it.
"""
import math
import struct

SAMPLES = 4  # per axis, for smooth edges


def inside_shield(x, y):
    """Shield outline in a unit square: flat top, curved sides to a point."""
    if y < 0.06 or y > 0.96 or x < 0.08 or x > 0.92:
        return False
    if y < 0.5:
        return True
    # lower half narrows to a point at the bottom centre
    half = 0.42 * math.sqrt(max(0.0, 1.0 - ((y - 0.5) / 0.46) ** 2))
    return abs(x - 0.5) <= half


def in_eye(x, y):
    """Almond shape of the eye, centred slightly above the middle."""
    dx, dy = (x - 0.5) / 0.34, (y - 0.46) / 0.2
    return abs(dy) <= 1.0 - dx * dx if abs(dx) <= 1.0 else False


def shade(style, x, y):
    """Colour (r, g, b, a) of one sample point, or None when transparent."""
    if not inside_shield(x, y):
        return None
    body, rim, pupil_dx = style["body"], style["rim"], style["look"]
    inner = inside_shield(0.5 + (x - 0.5) / 0.84, 0.06 + (y - 0.06) / 0.9)
    colour = body if inner else rim
    if in_eye(x, y):
        colour = (250, 250, 245)
        px, py = 0.5 + pupil_dx, 0.46
        r = math.hypot(x - px, y - py)
        if r < 0.12:
            colour = style["iris"]
        if r < 0.055:
            colour = (20, 20, 30)
    if style.get("mark") and 0.46 <= x <= 0.54 and (0.7 <= y <= 0.82 or 0.85 <= y <= 0.89):
        colour = (255, 255, 255)
    return colour + (255,)


def render(style, size):
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0, 0, 0, 0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    c = shade(style, (i + (si + 0.5) / SAMPLES) / size,
                              (j + (sj + 0.5) / SAMPLES) / size)
                    if c:
                        for k in range(3):
                            acc[k] += c[k]
                        acc[3] += 1
            n = acc[3]
            if style.get("hard"):
                # the 9x shell has no alpha: all or nothing, at half coverage
                a = 255 if n * 2 >= SAMPLES * SAMPLES else 0
            else:
                a = round(255 * n / (SAMPLES * SAMPLES))
            rgb = [round(acc[k] / n) if n else 0 for k in range(3)]
            row.append((rgb[0], rgb[1], rgb[2], a))
        rows.append(row)
    return rows


def bitmap(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(line)
    return header + pixels + mask


def write_icon(name, style):
    images = [bitmap(render(style, s)) for s in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(name, "wb") as f:
        f.write(out + b"".join(images))


BLUE = {"body": (40, 96, 170), "rim": (20, 52, 110), "iris": (60, 130, 200), "look": 0.0}
ICONS = {
    "normal.ico": BLUE,
    "verify-a.ico": {"body": (30, 140, 120), "rim": (16, 80, 70), "iris": (40, 160, 130), "look": -0.1},
    "verify-b.ico": {"body": (30, 140, 120), "rim": (16, 80, 70), "iris": (40, 160, 130), "look": 0.1},
    "normal-9x.ico": dict(BLUE, body=(0, 0, 128), rim=(0, 0, 128), iris=(0, 128, 128), hard=True),
    "alert.ico": {"body": (200, 40, 30), "rim": (120, 20, 16), "iris": (230, 140, 20), "look": 0.0, "mark": True},
}

if __name__ == "__main__":
    for name, style in ICONS.items():
        write_icon(name, style)
