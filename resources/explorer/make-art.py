#!/usr/bin/env python3
"""Draws the explorer's artwork: the page images and the tab icons.

Images (22x22, 24-bit .bmp on the dialog face colour; the page layout puts
each image's label 22 pixels below its top): the Help image
(normal, pressed, hover), the Monitor image (off, pressed, on, real time) and
the folder image (normal, pressed, hover). Icons (.ico with a 16x16 and a
32x32 image, 32-bit with alpha): one per tab, and the stand-in for a file
without an icon. Every picture is a few simple shapes, supersampled for
smooth edges, so the script needs nothing beyond Python.
Run it from any folder; it rewrites the files in art/ beside it.
"""
import math
import os
import struct

SAMPLES = 4  # per axis
FACE = (240, 240, 240)  # dialog face colour the images sit on
HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "art")

# 5x7 glyphs, drawn on a pixel grid inside the badge.
GLYPHS = {
    "?": ["01110", "10001", "00001", "00010", "00100", "00000", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
}


def disc(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(x, y, cx, cy, r, w):
    d = math.hypot(x - cx, y - cy)
    return r - w <= d <= r


def box(x, y, x0, y0, x1, y1):
    return x0 <= x <= x1 and y0 <= y <= y1


def glyph_at(ch, x, y, x0, y0, cell):
    rows = GLYPHS[ch]
    col, row = int((x - x0) / cell), int((y - y0) / cell)
    if x < x0 or y < y0 or row >= len(rows) or col >= len(rows[0]):
        return False
    return rows[row][col] == "1"


def mix(c, k):
    """Lighter (k > 0) or darker (k < 0) colour."""
    if k >= 0:
        return tuple(int(v + (255 - v) * k) for v in c)
    return tuple(int(v * (1 + k)) for v in c)


def shaded_badge(x, y, colour, shift=0.0):
    """A round badge with a soft top light and a dark rim; None outside."""
    cx, cy = 0.5 + shift, 0.5 + shift
    if not disc(x, y, cx, cy, 0.44):
        return None
    if not disc(x, y, cx, cy, 0.40):
        return mix(colour, -0.35)
    light = max(0.0, 0.35 - math.hypot(x - cx + 0.1, y - cy + 0.16))
    return mix(colour, light)


# --- the page images -------------------------------------------------------

def help_image(colour, shift=0.0, glow=False):
    def shade(x, y):
        if glow and ring(x, y, 0.5, 0.5, 0.5, 0.06):
            return (255, 214, 90)
        c = shaded_badge(x, y, colour, shift)
        if c is None:
            return None
        if glyph_at("?", x, y, 6 / 22 + shift, 4 / 22 + shift, 2 / 22):
            return (255, 255, 255)
        return c
    return shade


def eye(x, y, cx, cy, open_eye):
    """Almond eye with pupil; returns a colour or None."""
    dx, dy = (x - cx) / 0.27, (y - cy) / (0.16 if open_eye else 0.035)
    if abs(dx) > 1 or abs(dy) > 1 - dx * dx:
        return None
    if open_eye and disc(x, y, cx, cy, 0.1):
        return (20, 40, 30) if disc(x, y, cx, cy, 0.05) else (60, 130, 200)
    return (250, 250, 245)


def monitor_image(colour, open_eye=True, shift=0.0, bolt=False):
    def shade(x, y):
        if bolt:
            # a small lightning bolt at the lower right: real time
            u, v = x - 0.62, y - 0.56
            if 0 <= v <= 0.4 and abs(u - (0.18 - v * 0.5 if v < 0.2 else 0.28 - v * 0.5)) < 0.06:
                return (255, 200, 0) if abs(u - (0.18 - v * 0.5 if v < 0.2 else 0.28 - v * 0.5)) < 0.04 else (120, 70, 0)
        c = shaded_badge(x, y, colour, shift)
        if c is None:
            return None
        e = eye(x, y, 0.5 + shift, 0.5 + shift, open_eye)
        return e if e is not None else c
    return shade


def folder_image(k=0.0, shift=0.0):
    body = mix((236, 190, 60), k)
    def shade(x, y):
        x, y = x - shift, y - shift
        if box(x, y, 0.12, 0.2, 0.45, 0.32):
            return mix(body, -0.1)
        if box(x, y, 0.1, 0.3, 0.9, 0.82):
            edge = not box(x, y, 0.13, 0.33, 0.87, 0.79)
            return mix(body, -0.4) if edge else mix(body, 0.25 * (0.82 - y))
        return None
    return shade


# --- the tab icons ---------------------------------------------------------

def startup_icon(x, y):
    c = shaded_badge(x, y, (40, 150, 60))
    if c is None:
        return None
    u, v = x - 0.38, y - 0.5
    if 0 <= u <= 0.3 and abs(v) <= 0.2 * (1 - u / 0.3):
        return (255, 255, 255)
    return c


def clock_icon(x, y):
    if not disc(x, y, 0.5, 0.5, 0.45):
        return None
    if not disc(x, y, 0.5, 0.5, 0.37):
        return (200, 110, 20)
    if box(x, y, 0.46, 0.2, 0.54, 0.53) or box(x, y, 0.46, 0.46, 0.74, 0.54):
        return (30, 30, 40)
    return (252, 252, 248)


def globe_icon(x, y):
    if not disc(x, y, 0.5, 0.5, 0.45):
        return None
    u, v = (x - 0.5) / 0.45, (y - 0.5) / 0.45
    line = abs(v) < 0.08 or abs(u) < 0.08 or abs(math.hypot(u * 2.2, v) - 1) < 0.12
    if not disc(x, y, 0.5, 0.5, 0.39):
        return (20, 70, 150)
    return (230, 240, 255) if line else (50, 120, 210)


def calendar_icon(x, y):
    if not box(x, y, 0.1, 0.14, 0.9, 0.9):
        return None
    if not box(x, y, 0.14, 0.18, 0.86, 0.86):
        return (90, 90, 100)
    if y < 0.36:
        return (200, 40, 40)
    gx, gy = (x - 0.14) / 0.18, (y - 0.36) / 0.17
    if abs(gx - round(gx)) < 0.12 or abs(gy - round(gy)) < 0.14:
        return (170, 170, 180)
    return (255, 255, 255)


def gear_icon(x, y):
    u, v = x - 0.5, y - 0.5
    r = math.hypot(u, v)
    a = math.atan2(v, u)
    teeth = 0.36 + (0.09 if math.cos(8 * a) > 0.2 else 0)
    if r > teeth or r < 0.12:
        return None
    return mix((120, 125, 135), 0.25 - r) if r < 0.34 else (80, 85, 95)


def window_icon(x, y, bars=True):
    if not box(x, y, 0.06, 0.12, 0.94, 0.88):
        return None
    if not box(x, y, 0.1, 0.16, 0.9, 0.84):
        return (60, 70, 90)
    if y < 0.32:
        return (40, 100, 200)
    if bars:
        for i, h in enumerate((0.3, 0.5, 0.22)):
            x0 = 0.2 + i * 0.22
            if box(x, y, x0, 0.78 - h, x0 + 0.14, 0.78):
                return (40, 160, 70)
    return (255, 255, 255)


def cookie_icon(x, y):
    if not disc(x, y, 0.5, 0.5, 0.44):
        return None
    for cx, cy in ((0.35, 0.35), (0.62, 0.4), (0.45, 0.64), (0.68, 0.66), (0.3, 0.55)):
        if disc(x, y, cx, cy, 0.06):
            return (90, 50, 20)
    if not disc(x, y, 0.5, 0.5, 0.39):
        return (170, 110, 50)
    return (215, 165, 95)


def page_shape(x, y):
    """Page with a folded corner: 'edge', 'fold', 'body' or None."""
    if not box(x, y, 0.18, 0.08, 0.82, 0.92):
        return None
    if x + (0.92 - y) < 0.0 or (x > 0.6 and y < 0.3 and (x - 0.6) > (y - 0.08)):
        return "fold" if (x - 0.6) - (y - 0.08) < 0.06 else None
    if not box(x, y, 0.22, 0.12, 0.78, 0.88):
        return "edge"
    return "body"


def filetype_icon(x, y):
    part = page_shape(x, y)
    if part is None:
        return None
    if part == "edge":
        return (70, 80, 100)
    if part == "fold":
        return (170, 180, 200)
    if box(x, y, 0.3, 0.5, 0.7, 0.7):
        return (220, 120, 30)
    return (255, 255, 255)


def hidden_icon(x, y):
    part = page_shape(x, y)
    if part is None:
        return None
    if part == "edge":
        # a dashed outline: the file is there but not shown
        return (90, 90, 100) if int((x + y) * 9) % 2 == 0 else None
    if part == "fold":
        return (190, 190, 200)
    return (235, 235, 240, 140)


def about_icon(x, y):
    c = shaded_badge(x, y, (40, 90, 190))
    if c is None:
        return None
    if glyph_at("i", x, y, 0.345, 0.28, 0.062):
        return (255, 255, 255)
    return c


def options_icon(x, y):
    if not box(x, y, 0.12, 0.12, 0.88, 0.88):
        return None
    u, v = x - 0.28, y - 0.55
    tick = (0 <= u <= 0.18 and abs(v - u) < 0.09) or (0.14 <= u <= 0.52 and abs(v + (u - 0.18) * 1.1) < 0.09)
    if tick:
        return (30, 150, 50)
    if not box(x, y, 0.17, 0.17, 0.83, 0.83):
        return (70, 80, 100)
    return (255, 255, 255)


def fallback_icon(x, y):
    return window_icon(x, y, bars=False)


# --- writers ---------------------------------------------------------------

def sample(shade, size, i, j):
    acc = [0.0, 0.0, 0.0, 0.0]
    for sj in range(SAMPLES):
        for si in range(SAMPLES):
            c = shade((i + (si + 0.5) / SAMPLES) / size, (j + (sj + 0.5) / SAMPLES) / size)
            if c is None:
                continue
            a = c[3] if len(c) > 3 else 255
            for k in range(3):
                acc[k] += c[k] * a
            acc[3] += a
    n = SAMPLES * SAMPLES
    alpha = acc[3] / n
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(acc[k] / acc[3])) for k in range(3)) + (int(round(alpha)),)


def render(shade, size):
    return [[sample(shade, size, i, j) for i in range(size)] for j in range(size)]


def write_bmp(name, shade, size=22):
    pixels = render(shade, size)
    row_bytes = (size * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b, a in row:
            k = a / 255.0
            line += bytes(int(round(c * k + f * (1 - k))) for c, f in zip((b, g, r), FACE[::-1]))
        data += line + bytes(row_bytes - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + info + data)


def icon_image(shade, size):
    pixels = render(shade, size)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(name, shade, sizes=(16, 32)):
    images = [icon_image(shade, s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(images))


def main():
    os.makedirs(HERE, exist_ok=True)
    blue, green, grey = (45, 110, 190), (40, 150, 70), (150, 150, 155)
    write_bmp("help.bmp", help_image(blue))
    write_bmp("help-pressed.bmp", help_image(mix(blue, -0.3), shift=1 / 22))
    write_bmp("help-hover.bmp", help_image(mix(blue, 0.2), glow=True))
    write_bmp("monitor-off.bmp", monitor_image(grey, open_eye=False))
    write_bmp("monitor-pressed.bmp", monitor_image(mix(green, -0.3), shift=1 / 22))
    write_bmp("monitor-on.bmp", monitor_image(green))
    write_bmp("monitor-realtime.bmp", monitor_image(green, bolt=True))
    write_bmp("folder.bmp", folder_image())
    write_bmp("folder-pressed.bmp", folder_image(-0.25, shift=1 / 22))
    write_bmp("folder-hover.bmp", folder_image(0.2))
    icons = {
        "tab-startup.ico": startup_icon, "tab-delayed.ico": clock_icon,
        "tab-iehelpers.ico": globe_icon, "tab-scheduled.ico": calendar_icon,
        "tab-services.ico": gear_icon, "tab-tasks.ico": window_icon,
        "tab-cookies.ico": cookie_icon, "tab-filetypes.ico": filetype_icon,
        "tab-hidden.ico": hidden_icon, "tab-about.ico": about_icon,
        "tab-options.ico": options_icon, "file-fallback.ico": fallback_icon,
    }
    for name, shade in icons.items():
        write_ico(name, shade)


if __name__ == "__main__":
    main()
