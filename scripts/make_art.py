#!/usr/bin/env python3
"""Draws the client's banner, window icon and tray icons.

Standard library only, so the art can be regenerated on any build machine:
    python3 scripts/make_art.py
writes src/resources/res/{banner.png,icon.png,icon.ico,connecting_tray.png,disconnected_tray.png}
and the desktop icon in the icon theme's sizes, src/resources/hicolor/icon_<size>.png.
"""

import math
import os
import struct
import zlib

RESOURCES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "src", "resources")
RES_DIR = os.path.join(RESOURCES_DIR, "res")
HICOLOR_DIR = os.path.join(RESOURCES_DIR, "hicolor")
# The sizes desktops look up in the hicolor theme; the install rules rename each to the application id.
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

# Samples per pixel side for anti-aliased edges.
SUPERSAMPLE = 4


# ---------------------------------------------------------------- canvas

class Canvas:
    def __init__(self, width, height, background=None):
        self.width = width
        self.height = height
        fill = list(background) + [1.0] if background else [0.0, 0.0, 0.0, 0.0]
        self.px = [[list(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, rgb, alpha):
        """Source-over composition of a straight-alpha colour."""
        if alpha <= 0.0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        dst = self.px[y][x]
        out_a = alpha + dst[3] * (1.0 - alpha)
        for i in range(3):
            dst[i] = (rgb[i] * alpha + dst[i] * dst[3] * (1.0 - alpha)) / out_a
        dst[3] = out_a

    def fill_shape(self, inside, bbox, colour):
        """Fills the points where inside(x, y) holds; colour is an rgb tuple or a function of (x, y)."""
        x0, y0, x1, y1 = (max(0, int(math.floor(bbox[0]))), max(0, int(math.floor(bbox[1]))),
                          min(self.width, int(math.ceil(bbox[2])) + 1), min(self.height, int(math.ceil(bbox[3])) + 1))
        step = 1.0 / SUPERSAMPLE
        total = SUPERSAMPLE * SUPERSAMPLE
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(SUPERSAMPLE):
                    py = y + (sy + 0.5) * step
                    for sx in range(SUPERSAMPLE):
                        if inside(x + (sx + 0.5) * step, py):
                            hits += 1
                if hits:
                    rgb = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, rgb, hits / total)

    def fill_rect(self, x, y, w, h, rgb):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.blend(xx, yy, rgb, 1.0)

    def to_png(self, with_alpha):
        rows = []
        for row in self.px:
            line = bytearray([0])  # filter type None
            for r, g, b, a in row:
                line += bytes((to_byte(r), to_byte(g), to_byte(b)))
                if with_alpha:
                    line.append(to_byte(a))
            rows.append(bytes(line))
        colour_type = 6 if with_alpha else 2
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, colour_type, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
                + png_chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + png_chunk(b"IEND", b""))


def to_byte(value):
    return max(0, min(255, int(round(value * 255))))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def ico_file(pngs):
    """An ICO container whose entries are PNG streams (accepted since Windows Vista and by Qt's reader)."""
    count = len(pngs)
    header = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries = b""
    for size, data in pngs:
        edge = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + entries + b"".join(data for _, data in pngs)


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# ---------------------------------------------------------------- shapes

def shield(cx, top, width, height):
    """A heater shield: a slightly dipped top, straight sides, sides curving into a point."""
    half = width / 2.0

    def inside(x, y):
        u = (x - cx) / half
        v = (y - top) / height
        if v < 0.0 or v > 1.0 or abs(u) > 1.0:
            return False
        if v < 0.06 * (1.0 - u * u):
            return False
        if v <= 0.45:
            return True
        t = (v - 0.45) / 0.55
        return abs(u) <= math.cos(t * math.pi / 2.0)

    return inside, (cx - half, top, cx + half, top + height)


def inset_shield(cx, top, width, height, ratio):
    return shield(cx, top + height * (1.0 - ratio) * 0.38, width * ratio, height * ratio)


def thick_polyline(points, radius):
    segments = list(zip(points, points[1:]))

    def distance(px, py, a, b):
        ax, ay = a
        bx, by = b
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - (ax + t * dx), py - (ay + t * dy))

    def inside(x, y):
        return any(distance(x, y, a, b) <= radius for a, b in segments)

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return inside, (min(xs) - radius, min(ys) - radius, max(xs) + radius, max(ys) + radius)


def keyhole(cx, cy, radius):
    def inside(x, y):
        if math.hypot(x - cx, y - cy) <= radius:
            return True
        # The slot widens towards its foot.
        t = (y - cy) / (radius * 2.4)
        return 0.0 <= t <= 1.0 and abs(x - cx) <= radius * (0.45 + 0.25 * t)

    return inside, (cx - radius, cy - radius, cx + radius, cy + radius * 2.4)


def arc(cx, cy, radius, thickness, start_deg, end_deg):
    """A ring segment; angles run clockwise from 3 o'clock in screen coordinates."""
    def inside(x, y):
        if abs(math.hypot(x - cx, y - cy) - radius) > thickness / 2.0:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx))
        return start_deg <= angle <= end_deg

    reach = radius + thickness
    return inside, (cx - reach, cy - reach, cx + reach, cy + reach)


# ---------------------------------------------------------------- pixel font (5 x 7)

GLYPHS = {
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "c": [".....", ".....", ".###.", "#....", "#....", "#...#", ".###."],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "p": [".....", ".....", "####.", "#...#", "####.", "#....", "#...."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    " ": ["....."] * 7,
}


def draw_text(canvas, text, x, y, scale, rgb):
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    canvas.fill_rect(x + col * scale, y + row * scale, scale, scale, rgb)
        x += 6 * scale
    return x


# ---------------------------------------------------------------- pictures

BLUE_DARK = hex_rgb("#1f4e8c")
BLUE_LIGHT = hex_rgb("#4a8fe0")
GREEN_DARK = hex_rgb("#1e6b31")
GREEN_LIGHT = hex_rgb("#3fbf5f")
GREY_DARK = hex_rgb("#55595e")
GREY_LIGHT = hex_rgb("#a3a8ae")
WHITE = (1.0, 1.0, 1.0)
NAVY = hex_rgb("#1b2a4a")
SLATE = hex_rgb("#6b7280")


def draw_shield(canvas, cx, top, width, height, dark, light):
    outer, box = shield(cx, top, width, height)
    canvas.fill_shape(outer, box, dark)
    inner, inner_box = inset_shield(cx, top, width, height, 0.8)
    span = inner_box[3] - inner_box[1]
    canvas.fill_shape(inner, inner_box, lambda x, y: mix(light, dark, 0.55 * (y - inner_box[1]) / span))


def check_mark(cx, top, width, height):
    half = width / 2.0
    points = [(cx - 0.42 * half, top + 0.47 * height), (cx - 0.08 * half, top + 0.66 * height),
              (cx + 0.45 * half, top + 0.28 * height)]
    return thick_polyline(points, width * 0.075)


def icon_image(size, dark, light, mark):
    canvas = Canvas(size, size)
    margin = size * 0.06
    cx, top, width, height = size / 2.0, margin, size * 0.8, size - 2 * margin
    draw_shield(canvas, cx, top, width, height, dark, light)
    if mark == "keyhole":
        shape = keyhole(cx, top + height * 0.36, width * 0.12)
    elif mark == "check":
        shape = check_mark(cx, top, width, height)
    else:  # a bar: nothing is passing
        shape = thick_polyline([(cx - width * 0.2, top + height * 0.45), (cx + width * 0.2, top + height * 0.45)],
                               width * 0.07)
    canvas.fill_shape(shape[0], shape[1], WHITE)
    return canvas


def banner():
    canvas = Canvas(700, 155, background=WHITE)
    cx, cy = 95.0, 77.0
    # Three arcs on each side of the shield, fading outwards.
    for i, radius in enumerate((60.0, 71.0, 82.0)):
        shade = mix(BLUE_LIGHT, WHITE, 0.25 + 0.22 * i)
        for start, end in ((-40.0, 40.0), (140.0, 180.0), (-180.0, -140.0)):
            shape = arc(cx, cy, radius, 4.0, start, end)
            canvas.fill_shape(shape[0], shape[1], shade)
    draw_shield(canvas, cx, 22.0, 86.0, 110.0, BLUE_DARK, BLUE_LIGHT)
    hole = keyhole(cx, 22.0 + 110.0 * 0.36, 86.0 * 0.12)
    canvas.fill_shape(hole[0], hole[1], WHITE)
    end = draw_text(canvas, "Orvi Dudaru", 200, 34, 7, NAVY)
    canvas.fill_rect(200, 96, end - 200 - 7, 3, BLUE_LIGHT)
    draw_text(canvas, "secure vpn client", 200, 110, 3, SLATE)
    return canvas


def main():
    os.makedirs(RES_DIR, exist_ok=True)
    os.makedirs(HICOLOR_DIR, exist_ok=True)
    outputs = {
        "banner.png": banner().to_png(with_alpha=False),
        # The window's icon: a PNG needs no image plugin, which the .ico would pull in at every start.
        "icon.png": icon_image(64, BLUE_DARK, BLUE_LIGHT, "keyhole").to_png(True),
        "icon.ico": ico_file([(size, icon_image(size, BLUE_DARK, BLUE_LIGHT, "keyhole").to_png(True))
                              for size in (32, 64)]),
        "connecting_tray.png": icon_image(64, GREEN_DARK, GREEN_LIGHT, "check").to_png(True),
        "disconnected_tray.png": icon_image(64, GREY_DARK, GREY_LIGHT, "bar").to_png(True),
    }
    outputs = {os.path.join(RES_DIR, name): data for name, data in outputs.items()}
    for size in HICOLOR_SIZES:
        outputs[os.path.join(HICOLOR_DIR, "icon_%d.png" % size)] = \
            icon_image(size, BLUE_DARK, BLUE_LIGHT, "keyhole").to_png(True)
    for path, data in outputs.items():
        with open(path, "wb") as handle:
            handle.write(data)
        print("wrote", os.path.normpath(path), len(data), "bytes")


if __name__ == "__main__":
    main()
