#!/usr/bin/env python3
"""Draws the PNG images of the skin: the game logo, the main-window
backgrounds of the three screen-size modes, the progress marker, the
caption-button glyphs and the buttons' normal, hover, pressed and disabled
faces.

Standard library only (zlib + struct). Run it from anywhere; it writes next
to itself. The PNG files are committed, so the build never runs this script,
and the archive rule leaves it out of bt.dat.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Main window size per screen-size mode; must match the skin XML files.
MAIN_SIZES = {
    "main_bg.png": (820, 680),
    "main_bg_720.png": (800, 645),
    "main_bg_600.png": (650, 550),
}

# Button faces per size; must match the buttons' "pos" in the three main skins.
LINK_SIZES = [(142, 36), (140, 32), (96, 28)]   # the link buttons and GameSetBtn
ENTER_SIZES = [(142, 88), (140, 86), (96, 82)]  # EnterGameBtn
STATES = ("normal", "hot", "pushed", "disabled")


# ---------------------------------------------------------------- PNG output

def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filter_row(kind, row, prev, bpp):
    out = bytearray(len(row))
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if kind == 1:
            out[i] = (x - a) & 0xFF
        elif kind == 2:
            out[i] = (x - b) & 0xFF
        elif kind == 3:
            out[i] = (x - ((a + b) >> 1)) & 0xFF
        else:
            out[i] = (x - _paeth(a, b, c)) & 0xFF
    return out


def write_png(path, width, height, pixels, channels):
    """pixels: flat list of 0..255 ints, rows top to bottom, RGB or RGBA."""
    bpp = channels
    stride = width * channels
    prev = bytearray(stride)
    raw = bytearray()
    for y in range(height):
        row = bytearray(pixels[y * stride:(y + 1) * stride])
        # Pick the filter with the smallest sum of signed residues.
        best, best_cost = None, None
        for kind in (0, 1, 2, 3, 4):
            data = row if kind == 0 else _filter_row(kind, row, prev, bpp)
            cost = sum(v if v < 128 else 256 - v for v in data)
            if best_cost is None or cost < best_cost:
                best, best_cost = (kind, data), cost
        raw.append(best[0])
        raw += best[1]
        prev = row

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    color_type = 6 if channels == 4 else 2
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)
    print(f"{os.path.basename(path)}: {width}x{height}, {len(png)} bytes")


# ------------------------------------------------------------- rasterising

def raster(polygons, width, height, ss=4):
    """Even-odd coverage (0..1 per pixel) of a set of polygons, anti-aliased
    by ss x ss supersampling."""
    cov = [0.0] * (width * height)
    unit = 1.0 / (ss * ss)
    edges = []
    for poly in polygons:
        for i, (x1, y1) in enumerate(poly):
            x2, y2 = poly[(i + 1) % len(poly)]
            if y1 != y2:
                edges.append((x1, y1, x2, y2))
    for sy in range(height * ss):
        y = (sy + 0.5) / ss
        xs = []
        for x1, y1, x2, y2 in edges:
            if (y1 <= y < y2) or (y2 <= y < y1):
                xs.append(x1 + (y - y1) * (x2 - x1) / (y2 - y1))
        xs.sort()
        base = (sy // ss) * width
        for a, b in zip(xs[0::2], xs[1::2]):
            first = max(0, math.ceil(a * ss - 0.5))
            last = min(width * ss - 1, math.ceil(b * ss - 0.5) - 1)
            for sx in range(first, last + 1):
                cov[base + sx // ss] += unit
    return [min(1.0, c) for c in cov]


def dilate(mask, width, height, radius):
    """Soft dilation: the coverage grown by radius pixels."""
    r = int(math.ceil(radius + 0.5))
    offsets = []
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            w = max(0.0, min(1.0, radius + 0.5 - math.hypot(dx, dy)))
            if w > 0:
                offsets.append((dx, dy, w))
    out = [0.0] * (width * height)
    for y in range(height):
        for x in range(width):
            best = 0.0
            for dx, dy, w in offsets:
                xx, yy = x + dx, y + dy
                if 0 <= xx < width and 0 <= yy < height:
                    v = mask[yy * width + xx] * w
                    if v > best:
                        best = v
                        if best >= 1.0:
                            break
            out[y * width + x] = best
    return out


def blur(mask, width, height, radius):
    """Box blur, run twice (close enough to a gaussian for a shadow)."""
    for _ in range(2):
        tmp = [0.0] * (width * height)
        for y in range(height):
            for x in range(width):
                s, n = 0.0, 0
                for dx in range(-radius, radius + 1):
                    xx = x + dx
                    if 0 <= xx < width:
                        s += mask[y * width + xx]
                        n += 1
                tmp[y * width + x] = s / n
        out = [0.0] * (width * height)
        for y in range(height):
            for x in range(width):
                s, n = 0.0, 0
                for dy in range(-radius, radius + 1):
                    yy = y + dy
                    if 0 <= yy < height:
                        s += tmp[yy * width + x]
                        n += 1
                out[y * width + x] = s / n
        mask = out
    return mask


class Canvas:
    """Straight-alpha RGBA canvas with float channels."""

    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def paint(self, mask, color_at, opacity=1.0):
        """Source-over of colour color_at(x, y) -> (r, g, b) with alpha mask."""
        for i, m in enumerate(mask):
            a = m * opacity
            if a <= 0.0:
                continue
            x, y = i % self.w, i // self.w
            r, g, b = color_at(x, y)
            dst = self.px[i]
            out_a = a + dst[3] * (1.0 - a)
            for c, s in enumerate((r, g, b)):
                dst[c] = (s * a + dst[c] * dst[3] * (1.0 - a)) / out_a
            dst[3] = out_a

    def rgba_bytes(self):
        out = []
        for r, g, b, a in self.px:
            if a <= 0.0:
                out += [0, 0, 0, 0]
            else:
                out += [int(round(max(0, min(255, v)))) for v in (r, g, b)]
                out.append(int(round(a * 255)))
        return out


def solid(rgb):
    return lambda x, y: rgb


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def ramp(stops, t):
    """Colour at t on a list of (position, 'RRGGBB') stops."""
    t = max(0.0, min(1.0, t))
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            f = 0.0 if p1 == p0 else (t - p0) / (p1 - p0)
            a, b = hexrgb(c0), hexrgb(c1)
            return tuple(a[i] + (b[i] - a[i]) * f for i in range(3))
    return hexrgb(stops[-1][1])


# ------------------------------------------------------------------ the logo

LETTER_H = 74.0
SHEAR = 0.2          # italic slant: x shift per pixel of height
LOGO_W, LOGO_H = 238, 152
TEXT_TOP = 24.0


def _letters():
    """'TAVI' as polygons in letter space (y down, 0 = cap line)."""
    h = LETTER_H
    t = [[(0, 0), (48, 0), (48, 16), (32.5, 16), (32.5, h), (15.5, h), (15.5, 16), (0, 16)]]
    a = [[(21, 0), (37, 0), (58, h), (41, h), (37, 59), (21, 59), (17, h), (0, h)],
         [(29, 23), (33.8, 46), (24.2, 46)]]
    v = [[(0, 0), (17, 0), (28, 50), (39, 0), (56, 0), (37, h), (19, h)]]
    i = [[(0, 0), (17, 0), (17, h), (0, h)]]
    placed = []
    for shapes, x0 in ((t, 0), (a, 51), (v, 112), (i, 171)):
        for poly in shapes:
            placed.append([(x + x0, y) for x, y in poly])
    total_w = 188 + LETTER_H * SHEAR
    off_x = (LOGO_W - total_w) / 2.0
    return [[(x + (LETTER_H - y) * SHEAR + off_x, y + TEXT_TOP) for x, y in poly] for poly in placed]


def _ornament():
    """Tapered rule under the name with a diamond in the middle."""
    cy = TEXT_TOP + LETTER_H + 17
    cx = LOGO_W / 2.0
    shapes = [[(20, cy), (cx, cy - 2.2), (LOGO_W - 20, cy), (cx, cy + 2.2)],
              [(cx, cy - 9), (cx + 9, cy), (cx, cy + 9), (cx - 9, cy)]]
    for dx in (-52, 52):
        shapes.append([(cx + dx, cy - 4.5), (cx + dx + 4.5, cy), (cx + dx, cy + 4.5), (cx + dx - 4.5, cy)])
    # Shapes overlap the rule: rasterised one by one and merged by the caller.
    return shapes


def _sparkle(cx, cy, arm, waist):
    return [[(cx, cy - arm), (cx + waist, cy - waist), (cx + arm, cy), (cx + waist, cy + waist),
             (cx, cy + arm), (cx - waist, cy + waist), (cx - arm, cy), (cx - waist, cy - waist)]]


def make_logo(path):
    w, h = LOGO_W, LOGO_H
    letters = raster(_letters(), w, h)
    orn = [0.0] * (w * h)
    for shape in _ornament():
        part = raster([shape], w, h)
        orn = [max(p, q) for p, q in zip(orn, part)]
    shape = [max(p, q) for p, q in zip(letters, orn)]

    dark = dilate(shape, w, h, 3.0)
    rim = dilate(shape, w, h, 4.6)
    shadow_src = dilate(shape, w, h, 4.0)
    shadow = [0.0] * (w * h)
    for y in range(h):
        for x in range(w):
            sx, sy = x - 2, y - 3
            if 0 <= sx < w and 0 <= sy < h:
                shadow[y * w + x] = shadow_src[sy * w + sx]
    shadow = blur(shadow, w, h, 2)

    top, bottom = TEXT_TOP, TEXT_TOP + LETTER_H
    metal = [(0.0, "FFF8DC"), (0.42, "F6C852"), (0.5, "FFE38A"), (0.53, "DE9A2A"), (1.0, "A8561A")]

    def letter_colour(x, y):
        return ramp(metal, (y - top) / (bottom - top))

    c = Canvas(w, h)
    c.paint(shadow, solid((0, 0, 0)), 0.6)
    c.paint(rim, solid(hexrgb("E9C874")))
    c.paint(dark, solid(hexrgb("2A1405")))
    c.paint(orn, lambda x, y: ramp([(0.0, "FFE9A0"), (1.0, "D79A2E")], (y - bottom - 8) / 18.0))
    c.paint(letters, letter_colour)
    # A small glint on the top right of the last letter.
    glint = raster(_sparkle(214.0, 22.0, 10.0, 1.6), w, h)
    c.paint(glint, solid((255, 255, 240)), 0.95)
    write_png(path, w, h, c.rgba_bytes(), 4)


# --------------------------------------------------------- other small images

def make_marker(path):
    """Progress marker, 10 x 18: a gold lozenge centred on its x = 5."""
    w, h = 10, 18
    outer = raster([[(5, 0), (10, 9), (5, 18), (0, 9)]], w, h)
    inner = raster([[(5, 2.2), (8.2, 9), (5, 15.8), (1.8, 9)]], w, h)
    c = Canvas(w, h)
    c.paint(outer, solid(hexrgb("3A2208")))
    c.paint(inner, lambda x, y: ramp([(0.0, "FFFBE6"), (0.5, "F5C451"), (1.0, "C07A1E")], y / h))
    write_png(path, w, h, c.rgba_bytes(), 4)


def make_caption_glyph(path, kind):
    """30 x 28 glyph for the minimise and close buttons, on transparency: the
    normal face of those buttons."""
    w, h = 30, 28
    c = Canvas(w, h)
    c.paint(caption_glyph_mask(kind, w, h), solid(hexrgb("EAD9A6")))
    write_png(path, w, h, c.rgba_bytes(), 4)


def caption_glyph_mask(kind, w, h):
    cx, cy = w / 2.0, h / 2.0
    if kind == "min":
        polys = [[(cx - 6, cy + 3), (cx + 6, cy + 3), (cx + 6, cy + 5), (cx - 6, cy + 5)]]
    else:
        d, t = 5.5, 1.1
        polys = [[(cx - d - t, cy - d + t), (cx - d + t, cy - d - t), (cx + d + t, cy + d - t), (cx + d - t, cy + d + t)],
                 [(cx + d - t, cy - d - t), (cx + d + t, cy - d + t), (cx - d + t, cy + d + t), (cx - d - t, cy + d - t)]]
    mask = [0.0] * (w * h)
    for p in polys:
        mask = [max(a, b) for a, b in zip(mask, raster([p], w, h))]
    return mask


def make_caption_state(path, kind, state):
    """The caption glyph over a state backdrop; the normal state is the bare
    glyph file itself."""
    w, h = 30, 28
    backdrop = {"hot": ("FFFFFF", 0.25) if kind == "min" else ("C0392B", 1.0),
                "pushed": ("000000", 0.38) if kind == "min" else ("8E2A20", 1.0),
                "disabled": (None, 0.0)}[state]
    c = Canvas(w, h)
    if backdrop[0] is not None:
        c.paint(rounded_rect(w, h, 0, 3), solid(hexrgb(backdrop[0])), backdrop[1])
    glyph = "7D8594" if state == "disabled" else "EAD9A6"
    c.paint(caption_glyph_mask(kind, w, h), solid(hexrgb(glyph)))
    write_png(path, w, h, c.rgba_bytes(), 4)


def rounded_rect(w, h, inset, radius):
    """Anti-aliased coverage of a rectangle inset from the canvas edges, with
    rounded corners."""
    left, top, right, bottom = inset, inset, w - inset, h - inset
    r = min(radius, (right - left) / 2.0, (bottom - top) / 2.0)
    mask = []
    for y in range(h):
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            dx = max(left + r - px, 0.0, px - (right - r))
            dy = max(top + r - py, 0.0, py - (bottom - r))
            if dx > 0.0 and dy > 0.0:
                edge = r - math.hypot(dx, dy)
            else:
                edge = min(px - left, right - px, py - top, bottom - py)
            mask.append(max(0.0, min(1.0, edge + 0.5)))
    return mask


# Per face: border, top and bottom of the fill, the top sheen's strength.
FACE_LOOKS = {
    "link": {
        "normal": ("8A6D2E", "23467E", "0F2447", 0.22),
        "hot": ("C9A24A", "2F5C9E", "173563", 0.30),
        "pushed": ("6E5524", "0A1A36", "173360", 0.0),
        "disabled": ("4A505C", "333B4A", "232A36", 0.08),
    },
    "enter": {
        "normal": ("FFE7A0", "F7CB5A", "B97A16", 0.35),
        "hot": ("FFF4CC", "FFDC7E", "D08F22", 0.45),
        "pushed": ("D9B55E", "9A6612", "D59A2C", 0.0),
        "disabled": ("5A616E", "4A5262", "2E3440", 0.08),
    },
}


def make_button_face(path, w, h, kind, state):
    """A rounded face: gilt border, vertical gradient fill and a soft sheen on
    the upper half; pressed faces invert the gradient and lose the sheen."""
    border, top, bottom, sheen = FACE_LOOKS[kind][state]
    width = 2 if kind == "enter" else 1
    c = Canvas(w, h)
    c.paint(rounded_rect(w, h, 0, 5), solid(hexrgb(border)))
    c.paint(rounded_rect(w, h, width, 5 - width),
            lambda x, y: ramp([(0.0, top), (1.0, bottom)], y / (h - 1)))
    if sheen > 0.0:
        upper = rounded_rect(w, h // 2, width + 1, 3)
        mask = upper + [0.0] * (w * (h - h // 2))
        c.paint(mask, lambda x, y: (255, 255, 255), sheen * 0.5)
    write_png(path, w, h, c.rgba_bytes(), 4)


def make_background(path, w, h):
    """Deep blue vertical gradient with a soft glow behind the logo and a
    faint warm glow at the lower left, where the enter-game button sits."""
    stops = [(0.0, "1C3360"), (0.35, "11234A"), (1.0, "060D1F")]
    glows = [  # centre x, centre y, radius, colour, strength
        (w * 0.5, h * 0.12, w * 0.42, hexrgb("3E6FC0"), 0.38),
        (w * 0.1, h * 0.78, w * 0.3, hexrgb("C08A2E"), 0.16),
    ]
    px = []
    for y in range(h):
        r0, g0, b0 = ramp(stops, y / (h - 1))
        for x in range(w):
            r, g, b = r0, g0, b0
            for gx, gy, gr, (cr, cg, cb), k in glows:
                d = math.hypot(x - gx, (y - gy) * 1.3) / gr
                if d < 1.0:
                    f = k * (1.0 - d) ** 2
                    r, g, b = r + (cr - r) * f, g + (cg - g) * f, b + (cb - b) * f
            px += [int(r + 0.5), int(g + 0.5), int(b + 0.5)]
    write_png(path, w, h, px, 3)


def main():
    make_logo(os.path.join(HERE, "Tavi.png"))
    make_marker(os.path.join(HERE, "progress_marker.png"))
    make_caption_glyph(os.path.join(HERE, "btn_min.png"), "min")
    make_caption_glyph(os.path.join(HERE, "btn_close.png"), "close")
    for kind in ("min", "close"):
        for state in STATES[1:]:
            make_caption_state(os.path.join(HERE, f"btn_{kind}_{state}.png"), kind, state)
    for kind, sizes in (("link", LINK_SIZES), ("enter", ENTER_SIZES)):
        for w, h in sizes:
            for state in STATES:
                make_button_face(os.path.join(HERE, f"btn_{kind}_{w}x{h}_{state}.png"),
                                 w, h, kind, state)
    for name, (w, h) in MAIN_SIZES.items():
        make_background(os.path.join(HERE, name), w, h)


if __name__ == "__main__":
    main()
