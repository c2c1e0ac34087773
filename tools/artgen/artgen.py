#!/usr/bin/env python3
"""Draws Pivotel's artwork and writes the generated files into src/res/: the program icon, the
ring menu's two skins (ring.bmp, highlight.bmp) and the same at twice the size for 200 % displays
(ring_2x.bmp, highlight_2x.bmp), the palette editor's picture (palette.bmp, and palette_2x.bmp at
twice the size), the icons of the nine window commands (icons/) and the setting.ini that ships
beside the program.

    artgen.py             regenerate the files in src/res/
    artgen.py --out DIR   write them into DIR instead
    artgen.py --check     regenerate into a temporary folder; exit 1 if a committed file differs

The generated files are committed, so a build never needs this script. It uses the standard
library only, and its output is the same bytes on every run and every machine: the geometry uses
only IEEE arithmetic, square roots and directions rounded to 12 decimals, and PNG data is packed
by the small deflate encoder below rather than by the zlib library, whose output differs between
zlib versions.

Adding artwork: write a function that returns the file's bytes, built from the drawing helpers
(canvas, shapes, paint) and the encoders (ico, bmp, png), and list it in ARTWORK under its path
below src/res/.
"""

import argparse
import math
import os
import struct
import sys
import tempfile
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RES_DIR = os.path.join(REPO, "src", "res")


# ---------------------------------------------------------------------------------------------
# Colours and the canvas
# ---------------------------------------------------------------------------------------------

def rgb(hex_colour, alpha=1.0):
    """A straight (not premultiplied) colour (r, g, b, a) in 0..1 from "#rrggbb"."""
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16 & 255) / 255.0, (v >> 8 & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(c0, c1, t):
    """The colour a fraction t (clamped to 0..1) of the way from c0 to c1."""
    t = min(1.0, max(0.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def new_canvas(width, height):
    """A transparent canvas: a dict holding the size and a flat list of premultiplied RGBA floats,
    row by row from the top."""
    return {"w": width, "h": height, "px": [0.0] * (width * height * 4)}


def vertical_gradient(top_colour, bottom_colour, y_top, y_bottom):
    """A colour function of (x, y) running from top_colour at y_top to bottom_colour at y_bottom."""
    span = float(y_bottom - y_top)
    return lambda x, y: mix(top_colour, bottom_colour, (y - y_top) / span)


def paint(canvas, shape, colour, box=None):
    """Composites colour (a fixed colour or a function of x, y) over the canvas wherever shape
    covers it. A shape is a signed distance function of a point in pixels, negative inside; a
    pixel whose centre lies within half a pixel of the edge is covered in proportion, which
    anti-aliases every edge by about the area the shape covers. box (x0, y0, x1, y1) limits the
    work to part of the canvas."""
    w, h, px = canvas["w"], canvas["h"], canvas["px"]
    x0, y0, x1, y1 = box if box else (0, 0, w, h)
    x0, y0, x1, y1 = max(0, int(x0)), max(0, int(y0)), min(w, int(math.ceil(x1))), min(h, int(math.ceil(y1)))
    fixed = None if callable(colour) else colour
    for y in range(y0, y1):
        cy = y + 0.5
        for x in range(x0, x1):
            cx = x + 0.5
            d = shape(cx, cy)
            if d >= 0.5:
                continue
            r, g, b, a = fixed if fixed else colour(cx, cy)
            if d > -0.5:
                a *= 0.5 - d
            if a <= 0.0:
                continue
            i = (y * w + x) * 4
            k = 1.0 - a
            px[i] = r * a + px[i] * k
            px[i + 1] = g * a + px[i + 1] * k
            px[i + 2] = b * a + px[i + 2] * k
            px[i + 3] = a + px[i + 3] * k


def to_rgba8(canvas):
    """The canvas as straight 8-bit RGBA bytes, top row first; fully transparent pixels are 0."""
    px = canvas["px"]
    out = bytearray(len(px))
    for i in range(0, len(px), 4):
        a8 = int(px[i + 3] * 255.0 + 0.5)
        if a8 <= 0:
            continue
        a = px[i + 3]
        out[i] = min(255, int(px[i] / a * 255.0 + 0.5))
        out[i + 1] = min(255, int(px[i + 1] / a * 255.0 + 0.5))
        out[i + 2] = min(255, int(px[i + 2] / a * 255.0 + 0.5))
        out[i + 3] = min(255, a8)
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# Shapes: signed distance functions in pixels, negative inside
# ---------------------------------------------------------------------------------------------

def direction(degrees):
    """The unit vector of a compass angle on screen: 0 points up, angles grow clockwise. Rounded
    so that the last bit of the C library's sine does not leak into the artwork."""
    t = math.radians(degrees)
    return (round(math.sin(t), 12), round(-math.cos(t), 12))


def circle(cx, cy, r):
    return lambda x, y: math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r


def annulus(cx, cy, r_inner, r_outer):
    def shape(x, y):
        d = math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy))
        return max(d - r_outer, r_inner - d)
    return shape


def wedge(cx, cy, from_deg, to_deg, inset=0.0):
    """The part of the plane swept clockwise from from_deg to to_deg around (cx, cy), at most
    180 degrees, with both straight edges moved inwards by inset pixels."""
    s0, c0 = direction(from_deg)
    s1, c1 = direction(to_deg)
    # Outward normals: a quarter turn back from the first edge, a quarter turn on from the last.
    n0x, n0y = c0, -s0
    n1x, n1y = -c1, s1
    return lambda x, y: max(n0x * (x - cx) + n0y * (y - cy), n1x * (x - cx) + n1y * (y - cy)) + inset


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def grow(shape, by):
    """The shape widened by `by` pixels all round (shrunk when negative)."""
    return lambda x, y: shape(x, y) - by


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def subtract(shape, cut):
    """The shape with the area of `cut` taken out."""
    return lambda x, y: max(shape(x, y), -cut(x, y))


def rounded_box(x0, y0, x1, y1, radius=0.0):
    """The rectangle from (x0, y0) to (x1, y1) with its corners rounded by radius pixels."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def shape(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        ox, oy = max(qx, 0.0), max(qy, 0.0)
        return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - radius
    return shape


def segment(ax, ay, bx, by, half_width):
    """A stroke from (ax, ay) to (bx, by), half_width pixels to either side, with round ends."""
    vx, vy = bx - ax, by - ay
    length2 = vx * vx + vy * vy

    def shape(x, y):
        wx, wy = x - ax, y - ay
        t = min(1.0, max(0.0, (wx * vx + wy * vy) / length2)) if length2 > 0.0 else 0.0
        dx, dy = wx - vx * t, wy - vy * t
        return math.sqrt(dx * dx + dy * dy) - half_width
    return shape


def polygon(points):
    """A closed polygon through the points (any winding, may be concave)."""
    n = len(points)

    def shape(x, y):
        best = None
        inside = False
        for i in range(n):
            ax, ay = points[i - 1]
            bx, by = points[i]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            length2 = ex * ex + ey * ey
            t = min(1.0, max(0.0, (wx * ex + wy * ey) / length2)) if length2 > 0.0 else 0.0
            dx, dy = wx - ex * t, wy - ey * t
            d2 = dx * dx + dy * dy
            if best is None or d2 < best:
                best = d2
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        d = math.sqrt(best)
        return -d if inside else d
    return shape


def rotated(shape, cx, cy, degrees):
    """The shape turned clockwise on screen by `degrees` about (cx, cy)."""
    s, c = direction(degrees)  # sin and -cos of the angle, as the compass helper gives them
    c = -c

    def turned(x, y):
        dx, dy = x - cx, y - cy
        # Turning the point back by the angle finds where it came from in the upright shape.
        return shape(cx + dx * c + dy * s, cy - dx * s + dy * c)
    return turned


def ring_sector_box(cx, cy, r_outer, from_deg, to_deg, margin=1.5):
    """A box (x0, y0, x1, y1) around the sector of a ring between two compass angles."""
    points = [(cx, cy)]
    steps = 16
    for i in range(steps + 1):
        dx, dy = direction(from_deg + (to_deg - from_deg) * i / steps)
        points.append((cx + dx * r_outer, cy + dy * r_outer))
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs) - margin, min(ys) - margin, max(xs) + margin, max(ys) + margin)


# ---------------------------------------------------------------------------------------------
# Palettes
# ---------------------------------------------------------------------------------------------

def median_cut(histogram, count):
    """Up to `count` colours that stand for the (r, g, b) -> pixel count histogram: the colour
    box with the widest channel is split at its weighted median until there are enough boxes;
    each box gives its weighted mean. Ties are broken by colour value, so the result is fixed."""
    if len(histogram) <= count:
        return sorted(histogram)
    boxes = [sorted(histogram.items())]
    while len(boxes) < count:
        best, best_score, best_channel = -1, None, 0
        for bi, box in enumerate(boxes):
            if len(box) < 2:
                continue
            ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
            channel = ranges.index(max(ranges))
            score = (max(ranges), sum(n for _, n in box))
            if best_score is None or score > best_score:
                best, best_score, best_channel = bi, score, channel
        if best < 0:
            break
        box = sorted(boxes[best], key=lambda item: (item[0][best_channel], item[0]))
        half = sum(n for _, n in box) / 2.0
        running, cut = 0, 1
        for i, (_, n) in enumerate(box[:-1]):
            running += n
            cut = i + 1
            if running >= half:
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(sum(c[k] * n for c, n in box) / total + 0.5) for k in range(3)))
    return sorted(set(palette))


def nearest_index(palette, colour, cache):
    found = cache.get(colour)
    if found is None:
        r, g, b = colour
        found = min(range(len(palette)),
                    key=lambda i: ((palette[i][0] - r) ** 2 + (palette[i][1] - g) ** 2
                                   + (palette[i][2] - b) ** 2, i))
        cache[colour] = found
    return found


# ---------------------------------------------------------------------------------------------
# Encoders
# ---------------------------------------------------------------------------------------------

def _mask_rows(rgba, width, height):
    """The 1-bit AND mask of an icon image, bottom row first: a set bit leaves the screen showing
    through (the pixel is transparent)."""
    stride = (width + 31) // 32 * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            if rgba[(y * width + x) * 4 + 3] == 0:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def _bitmap_info_header(width, height, bits, image_size, colours_used=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, colours_used, 0)


def icon_image_32(rgba, width, height):
    """An icon image in BMP form, 32 bits per pixel: straight BGRA with alpha plus the AND mask."""
    xor = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            i = (y * width + x) * 4
            xor += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
    mask = _mask_rows(rgba, width, height)
    return _bitmap_info_header(width, height * 2, 32, len(xor) + len(mask)) + bytes(xor) + mask


def icon_image_8(rgba, width, height):
    """An icon image in BMP form, 8 bits per pixel: a palette of 256 colours chosen for the image
    by median cut, index 0 black for transparent pixels, and the AND mask. Pixels at least half
    opaque are drawn in their own colour, the others are transparent."""
    opaque = []
    histogram = {}
    for i in range(0, width * height * 4, 4):
        if rgba[i + 3] >= 128:
            c = (rgba[i], rgba[i + 1], rgba[i + 2])
            histogram[c] = histogram.get(c, 0) + 1
            opaque.append(c)
        else:
            opaque.append(None)
    palette = [(0, 0, 0)] + median_cut(histogram, 255)
    palette += [(0, 0, 0)] * (256 - len(palette))
    stride = (width + 3) // 4 * 4
    cache = {}
    xor = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            c = opaque[y * width + x]
            row[x] = 0 if c is None else nearest_index(palette, c, cache)
        xor += row
    masked = bytearray(rgba)
    for i, c in enumerate(opaque):
        masked[i * 4 + 3] = 0 if c is None else 255
    mask = _mask_rows(masked, width, height)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return (_bitmap_info_header(width, height * 2, 8, len(xor) + len(mask), 256) + colours + bytes(xor)
            + mask)


def ico(images):
    """An .ico file from (width, height, bits per pixel, image bytes) in the given order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for width, height, bits, data in images:
        out += struct.pack("<BBBBHHII", width & 255, height & 255, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def bmp32(rgba, width, height):
    """A .bmp file of 32 bits per pixel, bottom row first, each pixel blue, green, red and its
    straight alpha in the fourth byte (BI_RGB with a 40-byte header, as resource compilers take
    it for a BITMAP resource)."""
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        for x in range(width):
            i = (y * width + x) * 4
            pixels += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
    header = _bitmap_info_header(width, height, 32, len(pixels))
    offset = 14 + len(header)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + bytes(pixels)


# Deflate with the fixed Huffman codes of RFC 1951 and a greedy LZ77 search.
_LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115,
                131, 163, 195, 227, 258]
_LENGTH_EXTRA = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0]
_DIST_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537,
              2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577]
_DIST_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12,
               13, 13]


def _reverse_bits(value, bits):
    out = 0
    for _ in range(bits):
        out = out << 1 | value & 1
        value >>= 1
    return out


def _fixed_literal_code(symbol):
    if symbol < 144:
        return _reverse_bits(0x30 + symbol, 8), 8
    if symbol < 256:
        return _reverse_bits(0x190 + symbol - 144, 9), 9
    if symbol < 280:
        return _reverse_bits(symbol - 256, 7), 7
    return _reverse_bits(0xC0 + symbol - 280, 8), 8


def _code_tables():
    literal = [_fixed_literal_code(s) for s in range(288)]
    length = [None] * 259  # length -> (code, code bits) with the extra bits appended
    for i, base in enumerate(_LENGTH_BASE):
        end = _LENGTH_BASE[i + 1] if i + 1 < len(_LENGTH_BASE) else 259
        for extra in range(min(1 << _LENGTH_EXTRA[i], end - base)):
            if length[base + extra] is None:
                code, bits = literal[257 + i]
                length[base + extra] = (code | extra << bits, bits + _LENGTH_EXTRA[i])
    distance = [None] * 32769
    for i, base in enumerate(_DIST_BASE):
        code = _reverse_bits(i, 5)
        for extra in range(1 << _DIST_EXTRA[i]):
            if base + extra <= 32768:
                distance[base + extra] = (code | extra << 5, 5 + _DIST_EXTRA[i])
    return literal, length, distance


_LITERAL, _LENGTH, _DISTANCE = _code_tables()


def deflate(data, chain=32):
    """Raw deflate data of `data` in one fixed-Huffman block. Only this code decides the output, so
    it is the same everywhere."""
    out = bytearray()
    acc, nbits = 0, 0
    acc |= 0b011 << nbits  # final block, fixed Huffman codes
    nbits += 3
    head = {}
    n = len(data)
    i = 0
    while i < n:
        best_len, best_dist = 0, 0
        if i + 3 <= n:
            candidates = head.get(data[i:i + 3])
            if candidates:
                limit = min(258, n - i)
                for j in reversed(candidates[-chain:]):
                    if i - j > 32768:
                        break
                    k = 3
                    while k < limit and data[j + k] == data[i + k]:
                        k += 1
                    if k > best_len:
                        best_len, best_dist = k, i - j
                        if k == limit:
                            break
        if best_len >= 3:
            code, bits = _LENGTH[best_len]
            acc |= code << nbits
            nbits += bits
            code, bits = _DISTANCE[best_dist]
            acc |= code << nbits
            nbits += bits
            step = best_len
        else:
            code, bits = _LITERAL[data[i]]
            acc |= code << nbits
            nbits += bits
            step = 1
        for p in range(i, min(i + step, n - 2)):
            head.setdefault(data[p:p + 3], []).append(p)
        i += step
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8
    code, bits = _LITERAL[256]
    acc |= code << nbits
    nbits += bits
    while nbits > 0:
        out.append(acc & 255)
        acc >>= 8
        nbits -= 8
    return bytes(out)


def zlib_stream(data):
    packed = b"\x78\x01" + deflate(data) + struct.pack(">I", zlib.adler32(data))
    if zlib.decompress(packed) != data:
        raise AssertionError("the deflate encoder produced data that does not decode")
    return packed


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def png(rgba, width, height):
    """A PNG file of straight 8-bit RGBA; each row takes the filter whose output has the smallest
    sum of absolute values, the usual heuristic."""
    stride = width * 4
    raw = bytearray()
    previous = bytes(stride)
    for y in range(height):
        row = rgba[y * stride:(y + 1) * stride]
        left = bytes(4) + row[:-4]
        upper_left = bytes(4) + previous[:-4]
        candidates = [
            bytes(row),
            bytes((row[i] - left[i]) & 255 for i in range(stride)),
            bytes((row[i] - previous[i]) & 255 for i in range(stride)),
            bytes((row[i] - ((left[i] + previous[i]) >> 1)) & 255 for i in range(stride)),
            bytes((row[i] - _paeth(left[i], previous[i], upper_left[i])) & 255 for i in range(stride)),
        ]
        costs = [sum(v if v < 128 else 256 - v for v in c) for c in candidates]
        kind = costs.index(min(costs))
        raw.append(kind)
        raw += candidates[kind]
        previous = row

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib_stream(bytes(raw))) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------------------------
# Artwork
# ---------------------------------------------------------------------------------------------

OUTLINE = rgb("#16243a")
SECTOR_TOP, SECTOR_BOTTOM = rgb("#6cc4ff"), rgb("#1f63b8")
HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM = rgb("#ffd25a"), rgb("#f08a12")
HUB_TOP, HUB_BOTTOM = rgb("#ffffff"), rgb("#c9d6e6")
HIGHLIGHTED_SECTOR = 1  # the sector drawn as if the pointer rested on it (upper right)


def draw_ring_emblem(size):
    """The program's emblem at one size: a ring of eight sectors around a hub, one sector lit as
    the chosen item, on a dark outline that keeps it visible on light and dark backgrounds. The
    measures are chosen per size, with lower limits in whole pixels, so the sectors stay
    separate at 16 pixels."""
    canvas = new_canvas(size, size)
    c = size / 2.0
    outline = max(1.0, size * 0.03)
    r_outer = c - outline - max(0.25, size * 0.01)
    r_inner = r_outer * (0.52 if size > 24 else 0.46)
    r_hub = r_outer * (0.27 if size > 24 else 0.31)
    gap = max(1.0, size * 0.035)  # dark line between neighbouring sectors

    paint(canvas, circle(c, c, r_outer + outline), OUTLINE)
    for k in range(8):
        start, end = k * 45.0 - 22.5, k * 45.0 + 22.5
        top, bottom = (HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM) if k == HIGHLIGHTED_SECTOR else (SECTOR_TOP,
                                                                                        SECTOR_BOTTOM)
        shape = intersect(annulus(c, c, r_inner, r_outer), wedge(c, c, start, end, gap / 2.0))
        paint(canvas, shape, vertical_gradient(top, bottom, c - r_outer, c + r_outer),
              ring_sector_box(c, c, r_outer, start, end))
    paint(canvas, circle(c, c, r_hub), vertical_gradient(HUB_TOP, HUB_BOTTOM, c - r_hub, c + r_hub))
    return to_rgba8(canvas)


def make_pivotel_ico():
    """Icon group 108: the emblem at 64, 48, 32, 24 and 16 pixels with 256 colours, and at 256,
    128, 64, 48, 32, 24 and 16 pixels in 32-bit colour with alpha (the 256-pixel one as PNG)."""
    drawn = {s: draw_ring_emblem(s) for s in (256, 128, 64, 48, 32, 24, 16)}
    images = [(s, s, 8, icon_image_8(drawn[s], s, s)) for s in (64, 48, 32, 24, 16)]
    images.append((256, 256, 32, png(drawn[256], 256, 256)))
    images += [(s, s, 32, icon_image_32(drawn[s], s, s)) for s in (128, 64, 48, 32, 24, 16)]
    return ico(images)


# The command icons share one style: symbols drawn on a 32-pixel design grid, each part filled
# with a top-to-bottom gradient and ringed by the emblem's dark outline, so that they read on the
# ring's light grey and on a dark desktop alike. Blue is a window, white is paper or a window's
# body, orange marks the thing the command acts on, red is the one command that destroys.
PAPER_TOP, PAPER_BOTTOM = rgb("#ffffff"), rgb("#d5e0ee")
RED_TOP, RED_BOTTOM = rgb("#ff8a80"), rgb("#d32f2f")
BOARD_TOP, BOARD_BOTTOM = rgb("#d9a066"), rgb("#9c6230")
METAL_TOP, METAL_BOTTOM = rgb("#e3e9f0"), rgb("#8d9aab")
INK = rgb("#1f4f96")


def grid(size):
    """Maps a coordinate of the 32-pixel design grid to a whole pixel at `size`, so that straight
    edges fall between pixels and stay sharp at every size."""
    return lambda v: math.floor(v * size / 32.0 + 0.5)


def outline_width(size):
    """Whole pixels, so that outlines stay sharp: 1 up to 47 pixels, 2 from 48."""
    return float(max(1, size // 24))


def outlined(canvas, shape, fill, width):
    """Paints the shape with its fill, ringed by an outline `width` pixels wide."""
    paint(canvas, grow(shape, width), OUTLINE)
    paint(canvas, shape, fill)


def draw_window(canvas, size, x0, y0, x1, y1, body=None):
    """A window in the icons' style between design coordinates (x0, y0) and (x1, y1): a blue
    title bar over a white body, or over `body` (a colour or colour function) when given."""
    g = grid(size)
    ow = outline_width(size)
    left, top, right, bottom = g(x0), g(y0), g(x1), g(y1)
    bar = max(g(y0 + 6), top + 3)
    radius = max(1.0, size / 20.0)
    frame = rounded_box(left, top, right, bottom, radius)
    paint(canvas, subtract(grow(frame, ow), frame), OUTLINE)
    paint(canvas, intersect(frame, rounded_box(left - 1, bar, right + 1, bottom + 1)),
          body if body is not None else vertical_gradient(PAPER_TOP, PAPER_BOTTOM, bar, bottom))
    paint(canvas, intersect(frame, rounded_box(left - 1, top - 1, right + 1, bar)),
          vertical_gradient(SECTOR_TOP, SECTOR_BOTTOM, top, bar))
    paint(canvas, rounded_box(left, bar, right, bar + ow), OUTLINE)
    return left, top, right, bottom, bar


def draw_clipboard(canvas, size):
    """A clipboard holding a sheet of paper, whose inside runs from (9, 8) to (23, 28)."""
    g = grid(size)
    ow = outline_width(size)
    board = rounded_box(g(6), g(4), g(26), g(31), max(1.0, size / 16.0))
    outlined(canvas, board, vertical_gradient(BOARD_TOP, BOARD_BOTTOM, g(4), g(31)), ow)
    paper = rounded_box(g(9), g(8), g(23), g(28))
    outlined(canvas, paper, vertical_gradient(PAPER_TOP, PAPER_BOTTOM, g(8), g(28)), ow)
    clip = rounded_box(g(11), g(1) + 1, g(21), g(8), max(1.0, size / 20.0))
    outlined(canvas, clip, vertical_gradient(METAL_TOP, METAL_BOTTOM, g(1), g(8)), ow)


def draw_close(size):
    """Close: a red cross."""
    canvas = new_canvas(size, size)
    s = size / 32.0
    cross = union(segment(9 * s, 9 * s, 23 * s, 23 * s, 3.2 * s),
                  segment(23 * s, 9 * s, 9 * s, 23 * s, 3.2 * s))
    outlined(canvas, cross, vertical_gradient(RED_TOP, RED_BOTTOM, 6 * s, 26 * s), outline_width(size))
    return to_rgba8(canvas)


def draw_maximize(size):
    """Maximize: a window whose body holds the four outward corners of a full-screen mark."""
    canvas = new_canvas(size, size)
    g = grid(size)
    ow = outline_width(size)
    left, top, right, bottom, bar = draw_window(canvas, size, 2, 3, 30, 29)
    inset = max(2, g(3))
    x0, y0, x1, y1 = left + inset, bar + ow + inset, right - inset, bottom - inset
    arm = min(g(6), (y1 - y0) * 2 // 5)
    t = max(1, g(2))
    corners = []
    for cx, sx in ((x0, 1), (x1, -1)):
        for cy, sy in ((y0, 1), (y1, -1)):
            ax0, ax1 = sorted((cx, cx + sx * arm))
            ay0, ay1 = sorted((cy, cy + sy * t))
            bx0, bx1 = sorted((cx, cx + sx * t))
            by0, by1 = sorted((cy, cy + sy * arm))
            corners += [rounded_box(ax0, ay0, ax1, ay1), rounded_box(bx0, by0, bx1, by1)]
    paint(canvas, union(*corners), INK)
    return to_rgba8(canvas)


def draw_minimize(size):
    """Minimize: an arrow down onto a bar, the window going to the taskbar."""
    canvas = new_canvas(size, size)
    g = grid(size)
    ow = outline_width(size)
    bar = rounded_box(g(6), g(23), g(26), g(28), max(1.0, size / 24.0))
    outlined(canvas, bar, vertical_gradient(SECTOR_TOP, SECTOR_BOTTOM, g(23), g(28)), ow)
    arrow = union(rounded_box(g(13), g(3), g(19), g(13)),
                  polygon([(g(7), g(12)), (g(25), g(12)), (g(16), g(21))]))
    outlined(canvas, arrow, vertical_gradient(HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM, g(3), g(21)), ow)
    return to_rgba8(canvas)


def draw_bottom(size):
    """Send to bottom: a stack of three layers with the orange one at the bottom."""
    canvas = new_canvas(size, size)
    g = grid(size)
    ow = outline_width(size)
    half = g(5.5)
    layers = [(g(23), HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM), (g(16), PAPER_TOP, PAPER_BOTTOM),
              (g(9), PAPER_TOP, PAPER_BOTTOM)]
    for cy, top, bottom in layers:
        sheet = polygon([(g(3), cy), (g(16), cy - half), (g(29), cy), (g(16), cy + half)])
        outlined(canvas, sheet, vertical_gradient(top, bottom, cy - half, cy + half), ow)
    return to_rgba8(canvas)


def draw_copy_title(size):
    """Copy title: a clipboard with a large T."""
    canvas = new_canvas(size, size)
    g = grid(size)
    draw_clipboard(canvas, size)
    letter = union(rounded_box(g(11.5), g(11), g(20.5), g(14)), rounded_box(g(14.5), g(11), g(17.5), g(25)))
    paint(canvas, letter, INK)
    return to_rgba8(canvas)


def draw_copy_path(size):
    """Copy path: a clipboard with a folder tree, a path from the root down to an orange file."""
    canvas = new_canvas(size, size)
    g = grid(size)
    draw_clipboard(canvas, size)
    line = max(1, g(1.5))
    paint(canvas, union(rounded_box(g(12), g(11), g(12) + line, g(23)),
                        rounded_box(g(12), g(17), g(17), g(17) + line),
                        rounded_box(g(12), g(23) - line, g(17), g(23))), INK)
    paint(canvas, rounded_box(g(10), g(10), g(15), g(14)), INK)
    paint(canvas, rounded_box(g(16), g(15), g(21), g(19)), INK)
    paint(canvas, rounded_box(g(16), g(21), g(21), g(25)), HIGHLIGHT_BOTTOM)
    return to_rgba8(canvas)


def draw_open_folder(size):
    """Open folder: an orange folder with its front flap tipped open."""
    canvas = new_canvas(size, size)
    g = grid(size)
    ow = outline_width(size)
    back = polygon([(g(3), g(6)), (g(11), g(6)), (g(13), g(9)), (g(26), g(9)), (g(26), g(27)), (g(3), g(27))])
    outlined(canvas, back, HIGHLIGHT_BOTTOM, ow)
    sheet = rounded_box(g(6), g(12), g(24), g(27))
    outlined(canvas, sheet, vertical_gradient(PAPER_TOP, PAPER_BOTTOM, g(12), g(27)), ow)
    front = polygon([(g(8), g(15)), (g(30), g(15)), (g(26), g(27)), (g(3), g(27))])
    outlined(canvas, front, vertical_gradient(HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM, g(15), g(27)), ow)
    return to_rgba8(canvas)


def draw_translucent(size):
    """Translucency: a window whose body lets an orange disc behind it show through."""
    canvas = new_canvas(size, size)
    g = grid(size)
    ow = outline_width(size)
    disc = circle(g(22), g(22), g(8))
    outlined(canvas, disc, vertical_gradient(HIGHLIGHT_TOP, HIGHLIGHT_BOTTOM, g(14), g(30)), ow)
    draw_window(canvas, size, 2, 3, 24, 23, body=rgb("#ffffff", 0.55))
    return to_rgba8(canvas)


def draw_topmost(size):
    """Always on top: a red push pin, leaning."""
    canvas = new_canvas(size, size)
    s = size / 32.0
    ow = outline_width(size)
    c = 16 * s

    def leaning(shape):
        return rotated(shape, c, c, 40.0)

    def part(x0, y0, x1, y1, r):
        """A part of the upright pin, in design units from the icon's centre."""
        return leaning(rounded_box(c + x0 * s, c + y0 * s, c + x1 * s, c + y1 * s, r * s))
    red = vertical_gradient(RED_TOP, RED_BOTTOM, 0, size)
    outlined(canvas, leaning(segment(c, c + 1 * s, c, c + 14 * s, 1.0 * s)),
             vertical_gradient(METAL_TOP, METAL_BOTTOM, 0, size), ow)
    outlined(canvas, part(-7, -2, 7, 2, 1.5), red, ow)  # the collar
    outlined(canvas, part(-3.5, -11, 3.5, -1.5, 1), red, ow)  # the body
    outlined(canvas, part(-6, -14, 6, -10, 1.5), red, ow)  # the head
    return to_rgba8(canvas)


COMMAND_ICON_SIZES = (64, 48, 40, 32, 24, 16)  # 40, 48 and 64 for the ring at 125, 150 and 200 %


def command_icon(draw):
    """An .ico of one command symbol at each of COMMAND_ICON_SIZES in 32-bit colour with alpha."""
    return lambda: ico([(s, s, 32, icon_image_32(draw(s), s, s)) for s in COMMAND_ICON_SIZES])


# The nine window commands in the order of their ids in the settings file (EVENT 1..9), each with
# its icon's file name, drawing and display name.
COMMANDS = [
    ("close", draw_close, "閉じる"),
    ("bottom", draw_bottom, "最背面へ移動"),
    ("maximize", draw_maximize, "最大化 / 元に戻す"),
    ("minimize", draw_minimize, "最小化"),
    ("copytitle", draw_copy_title, "タイトルをコピー"),
    ("copypath", draw_copy_path, "プログラムのパスをコピー"),
    ("openfolder", draw_open_folder, "プログラムのフォルダを開く"),
    ("translucent", draw_translucent, "半透明 / 元に戻す"),
    ("topmost", draw_topmost, "常に手前に表示 / 解除"),
]


# ---------------------------------------------------------------------------------------------
# The ring menu's skins
# ---------------------------------------------------------------------------------------------

# Both skins are 256 x 256 and centred on pixel (128, 128): its centre lies at 128.5 in the
# canvas's coordinates, so that a pixel's distance from the centre is the distance the menu's hit
# test measures for the same client point. The hit test takes distances 50 to 120 after
# truncation (up to just below 121), so the band's edges lie half a pixel outside 50 and 120 and
# each edge pixel is shaded by how much of it the band covers.
SKIN_SIZE = 256
SKIN_CENTRE = 128.5
RING_INNER, RING_OUTER = 49.5, 120.5
RING_TOP, RING_BOTTOM = rgb("#d2d2d2", 0.60), rgb("#b0b0b0", 0.50)  # grey 210 to 176
RING_EDGE_ALPHA = 0.06  # added towards both edges, so the band's rims stand out a little
SHADOW_WIDTH = 6.0
SHADOW_ALPHA = 0.40
SECTOR_LINE = rgb("#ffffff", 0.45)
HIGHLIGHT_INNER, HIGHLIGHT_OUTER = 52.0, 118.0
HIGHLIGHT_ALPHA = 0.6  # 153 of 255
HIGHLIGHT_SOFTNESS = 2.0  # pixels over which the wedge's edges fade in


def draw_ring_skin(scale=1):
    """Bitmap 105: a translucent light grey band between radius 50 and 120 with a soft black shadow
    inside and outside it and thin light lines on the eight sector boundaries, 22.5 + k * 45
    degrees from straight up; the middle and the corners are transparent. Bitmap 109 is the same
    drawing at scale 2, every length doubled, for displays at 200 %."""
    size = SKIN_SIZE * scale
    canvas = new_canvas(size, size)
    c = SKIN_CENTRE * scale
    ring_inner, ring_outer, shadow_width = RING_INNER * scale, RING_OUTER * scale, SHADOW_WIDTH * scale

    def distance(x, y):
        return math.sqrt((x - c) * (x - c) + (y - c) * (y - c))

    def shadow(fade_out):
        def colour(x, y):
            t = 1.0 - min(1.0, max(0.0, fade_out(distance(x, y)) / shadow_width))
            return (0.0, 0.0, 0.0, SHADOW_ALPHA * t * t)
        return colour

    inner_shadow = annulus(c, c, ring_inner - shadow_width, ring_inner)
    paint(canvas, inner_shadow, shadow(lambda d: ring_inner - d))
    outer_shadow = annulus(c, c, ring_outer, ring_outer + shadow_width)
    paint(canvas, outer_shadow, shadow(lambda d: d - ring_outer))

    grey = vertical_gradient(RING_TOP, RING_BOTTOM, c - ring_outer, c + ring_outer)
    half_band = (ring_outer - ring_inner) / 2.0
    middle = (ring_outer + ring_inner) / 2.0

    def band(x, y):
        r, g, b, a = grey(x, y)
        rim = abs(distance(x, y) - middle) / half_band
        return (r, g, b, a + RING_EDGE_ALPHA * rim * rim)
    paint(canvas, annulus(c, c, ring_inner, ring_outer), band)

    for k in range(8):
        dx, dy = direction(22.5 + 45.0 * k)
        line = segment(c + dx * (ring_inner + scale), c + dy * (ring_inner + scale),
                       c + dx * (ring_outer - scale), c + dy * (ring_outer - scale), 0.5 * scale)
        xs, ys = (c + dx * ring_inner, c + dx * ring_outer), (c + dy * ring_inner, c + dy * ring_outer)
        box = (min(xs) - 2 * scale, min(ys) - 2 * scale, max(xs) + 2 * scale, max(ys) + 2 * scale)
        paint(canvas, line, SECTOR_LINE, box)
    return to_rgba8(canvas)


def draw_highlight_skin(scale=1):
    """Bitmap 106: the highlight of sector 0, a white wedge at alpha 153 from -22.5 to +22.5
    degrees about straight up between radius 52 and 118, its edges fading in over two pixels;
    transparent elsewhere. The menu turns it by 45 degrees per slot. Bitmap 110 is the same
    drawing at scale 2."""
    size = SKIN_SIZE * scale
    canvas = new_canvas(size, size)
    c = SKIN_CENTRE * scale
    outer = HIGHLIGHT_OUTER * scale
    shape = intersect(annulus(c, c, HIGHLIGHT_INNER * scale, outer), wedge(c, c, -22.5, 22.5))

    def colour(x, y):
        inside = min(1.0, max(0.0, -shape(x, y) / (HIGHLIGHT_SOFTNESS * scale) + 0.25))
        return (1.0, 1.0, 1.0, HIGHLIGHT_ALPHA * inside)
    paint(canvas, shape, colour, ring_sector_box(c, c, outer, -22.5, 22.5, margin=1.5 * scale))
    return to_rgba8(canvas)


def skin_bmp(draw, scale):
    """The .bmp of a skin drawn at that scale."""
    return lambda: bmp32(draw(scale), SKIN_SIZE * scale, SKIN_SIZE * scale)


# ---------------------------------------------------------------------------------------------
# The palette editor's background picture and sprites
# ---------------------------------------------------------------------------------------------

# Bitmap 104: 613 x 304 pixels, 8 bits per pixel. Rows 0..289 are the editor's whole client area;
# rows 290..303 hold four sprites that the editor copies over it. Everything is drawn on whole
# pixels in a few flat colours, at the coordinates the editor's layout (src/palette/PaletteLayout)
# tests presses and draws icons at. Bitmap 111 is the same drawn at scale 2 for scaled displays:
# every box covers twice the pixels, and the ring's round edges, the scroll arrows and the tab
# digits are traced at the finer pixels.
PALETTE_W, PALETTE_H = 613, 304
PALETTE_PICTURE_H = 290
P_FACE = (212, 208, 200)
P_LIGHT = (255, 255, 255)
P_SHADOW = (128, 128, 128)
P_DARK = (64, 64, 64)
P_INK = (0, 0, 0)
P_PANEL = (59, 110, 165)
P_RING = (211, 207, 199)
P_RING_EDGE = (150, 146, 140)
P_GRID = (204, 204, 204)
P_WHITE = (255, 255, 255)

P_TAB_LEFT, P_TAB_WIDTH, P_TAB_TOP, P_TAB_BOTTOM = 2, 33, 5, 25
P_RING_CX, P_RING_CY = 135, 156
P_RING_INNER, P_RING_OUTER = 50, 120
P_SLOT_OFFSETS = [(0, -90), (63, -63), (90, 0), (63, 63), (0, 90), (-63, 63), (-90, 0), (-63, -63)]
P_CELLS_X0, P_CELLS_Y0, P_CELL = 273, 6, 40
P_CELLS_X1, P_CELLS_Y1 = 593, 288  # the white ground, right and bottom edges excluded
P_BAR_X0, P_BAR_X1 = 593, 611      # the scroll bar, x 593..610
P_BUTTON_W, P_BUTTON_H = 16, 14
P_UP_Y, P_DOWN_Y = 7, 273

# Digits 1 to 8, three pixels wide and five high, drawn twice as large on the tabs.
P_DIGITS = {
    "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"],
    "3": ["111", "001", "011", "001", "111"],
    "4": ["101", "101", "111", "001", "001"],
    "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"],
    "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"],
}

# The same digits for the finer pixels of an even scale, each twelve half-pixels wide and twenty
# high in the same box: strokes three half-pixels thick, the outer corner of each bend cut, and
# a slanted flag on the 1 and a slanted stem on the 7. Drawn 1 to 4, then 5 to 8, side by side.
P_DIGITS_FINE_ART = """
    .....###.... ###########. ###########. ###......###
    ....####.... ############ ############ ###......###
    ...#####.... ############ ############ ###......###
    ..##.###.... .........### .........### ###......###
    .....###.... .........### .........### ###......###
    .....###.... .........### .........### ###......###
    .....###.... .........### .........### ###......###
    .....###.... .........### .........### ###......###
    .....###.... .########### ....######## ############
    .....###.... ############ ....######## ############
    .....###.... ###########. ....######## .###########
    .....###.... ###......... .........### .........###
    .....###.... ###......... .........### .........###
    .....###.... ###......... .........### .........###
    .....###.... ###......... .........### .........###
    .....###.... ###......... .........### .........###
    .....###.... ###......... .........### .........###
    ..#########. ############ ############ .........###
    ..#########. ############ ############ .........###
    ..#########. ############ ###########. .........###

    .########### .########### ###########. .##########.
    ############ ############ ############ ############
    ############ ############ ############ ############
    ###......... ###......... .........### ###......###
    ###......... ###......... ........###. ###......###
    ###......... ###......... ........###. ###......###
    ###......... ###......... .......###.. ###......###
    ###......... ###......... .......###.. ###......###
    ###########. ###########. ......###... ############
    ############ ############ ......###... ############
    .########### ############ .....###.... ############
    .........### ###......### .....###.... ###......###
    .........### ###......### .....###.... ###......###
    .........### ###......### .....###.... ###......###
    .........### ###......### .....###.... ###......###
    .........### ###......### .....###.... ###......###
    .........### ###......### .....###.... ###......###
    ############ ############ .....###.... ############
    ############ ############ .....###.... ############
    ###########. .##########. .....###.... .##########.
"""


def _fine_digits(art):
    """The glyphs of P_DIGITS_FINE_ART as lists of rows, by digit."""
    blocks = [[line.split() for line in block.splitlines()] for block in art.strip("\n").split("\n\n")]
    glyphs = [[row[k] for row in block] for block in blocks for k in range(len(block[0]))]
    return {str(n + 1): glyph for n, glyph in enumerate(glyphs)}


P_DIGITS_FINE = _fine_digits(P_DIGITS_FINE_ART)


class PalettePicture(list):
    """Rows of (r, g, b) drawn at a whole scale; the drawing functions take picture coordinates."""

    def __init__(self, scale):
        super().__init__([P_FACE] * (PALETTE_W * scale) for _ in range(PALETTE_H * scale))
        self.scale = scale


def p_fill(img, x0, y0, x1, y1, colour):
    """Fills x in [x0, x1), y in [y0, y1)."""
    s = img.scale
    for y in range(max(0, y0 * s), min(PALETTE_H * s, y1 * s)):
        row = img[y]
        for x in range(max(0, x0 * s), min(PALETTE_W * s, x1 * s)):
            row[x] = colour


def p_edges(img, x0, y0, x1, y1, top_left, bottom_right):
    """A one-pixel outline of the box [x0, x1) x [y0, y1): its top and left edges in one colour,
    its bottom and right edges in the other."""
    p_fill(img, x0, y0, x1, y0 + 1, top_left)
    p_fill(img, x0, y0, x0 + 1, y1, top_left)
    p_fill(img, x0, y1 - 1, x1, y1, bottom_right)
    p_fill(img, x1 - 1, y0, x1, y1, bottom_right)


def p_sunken(img, x0, y0, x1, y1):
    """A two-pixel sunken border just inside the box."""
    p_edges(img, x0, y0, x1, y1, P_SHADOW, P_LIGHT)
    p_edges(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, P_DARK, P_FACE)


def p_raised(img, x0, y0, x1, y1):
    """A button face with a two-pixel raised border."""
    p_fill(img, x0, y0, x1, y1, P_FACE)
    p_edges(img, x0, y0, x1, y1, P_LIGHT, P_DARK)
    p_edges(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, P_FACE, P_SHADOW)


def p_arrow(img, x0, y0, up, shift=0):
    """A black triangle centred in a 16 x 14 button at (x0, y0): 7 pixels wide and 4 high at scale
    1; at a finer scale it keeps that outer size but steps one fine pixel a row, so that it ends in
    a single-pixel point instead of a doubled staircase (13 x 7 fine pixels at scale 2)."""
    s = img.scale
    n = 3 * s
    # The fine column just right of the 1x centre's middle holds the point, as the button's face
    # centre does; an up arrow sits one fine row lower, mirroring the down arrow in the button.
    cx = s * (x0 + 7 + shift) + s - 1
    top = s * (y0 + 5 + shift) + (s - 1 if up else 0)
    for i in range(n + 1):
        half = i if up else n - i
        row = img[top + i]
        for x in range(cx - half, cx + half + 1):
            row[x] = P_INK


def p_button(img, x0, y0, up, pressed):
    if pressed:
        p_fill(img, x0, y0, x0 + P_BUTTON_W, y0 + P_BUTTON_H, P_FACE)
        p_edges(img, x0, y0, x0 + P_BUTTON_W, y0 + P_BUTTON_H, P_SHADOW, P_SHADOW)
        p_arrow(img, x0, y0, up, shift=1)
    else:
        p_raised(img, x0, y0, x0 + P_BUTTON_W, y0 + P_BUTTON_H)
        p_arrow(img, x0, y0, up)


def p_tab_edges(img, x0, y0, y1):
    """The left light edge and the right dark edges of a tab whose left column is x0."""
    p_fill(img, x0, y0, x0 + 1, y1, P_LIGHT)
    p_fill(img, x0 + P_TAB_WIDTH - 2, y0, x0 + P_TAB_WIDTH - 1, y1, P_SHADOW)
    p_fill(img, x0 + P_TAB_WIDTH - 1, y0, x0 + P_TAB_WIDTH, y1, P_DARK)


def p_tab(img, n):
    x0 = P_TAB_LEFT + P_TAB_WIDTH * n
    p_fill(img, x0 + 2, P_TAB_TOP, x0 + P_TAB_WIDTH - 2, P_TAB_TOP + 1, P_LIGHT)
    p_fill(img, x0 + 1, P_TAB_TOP + 1, x0 + 2, P_TAB_TOP + 2, P_LIGHT)
    p_tab_edges(img, x0, P_TAB_TOP + 2, P_TAB_BOTTOM + 1)
    p_fill(img, x0 + P_TAB_WIDTH - 2, P_TAB_TOP + 1, x0 + P_TAB_WIDTH - 1, P_TAB_TOP + 2, P_DARK)
    gx, gy = x0 + P_TAB_WIDTH // 2 - 3, P_TAB_TOP + 5
    s = img.scale
    if s % 2:
        glyph = P_DIGITS[str(n + 1)]
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == "1":
                    p_fill(img, gx + 2 * col, gy + 2 * row, gx + 2 * col + 2, gy + 2 * row + 2, P_INK)
        return
    # At an even scale a glyph pixel is half a picture pixel, in the same 6 x 10 box.
    cell = s // 2
    for row, bits in enumerate(P_DIGITS_FINE[str(n + 1)]):
        for col, bit in enumerate(bits):
            if bit == "#":
                for y in range(s * gy + cell * row, s * gy + cell * (row + 1)):
                    img[y][s * gx + cell * col:s * gx + cell * (col + 1)] = [P_INK] * cell


def p_ring(img):
    """The grey band from radius 50 to 120 (the distance truncated to whole picture pixels, as the
    editor measures it), a darker rim one picture pixel wide on both edges, and the sector lines
    22.5 degrees either side of each slot's direction; each pixel is measured at its own centre."""
    lines = [direction(22.5 + 45.0 * k) for k in range(8)]
    s = img.scale
    for y in range((P_RING_CY - P_RING_OUTER - 1) * s, (P_RING_CY + P_RING_OUTER + 2) * s):
        for x in range((P_RING_CX - P_RING_OUTER - 1) * s, (P_RING_CX + P_RING_OUTER + 2) * s):
            dx, dy = (x + 0.5) / s - (P_RING_CX + 0.5), (y + 0.5) / s - (P_RING_CY + 0.5)
            r = math.sqrt(dx * dx + dy * dy)
            if r < P_RING_INNER or r >= P_RING_OUTER + 1:
                continue
            colour = P_RING_EDGE if r < P_RING_INNER + 1 or r >= P_RING_OUTER else P_RING
            for ux, uy in lines:
                along = dx * ux + dy * uy
                across = abs(dx * uy - dy * ux)
                if along > 0 and across < 0.5:
                    colour = P_RING_EDGE
            img[y][x] = colour


def p_slot_frame(img, i):
    """A sunken 38 x 38 frame one pixel inside slot i's 40 x 40 box, ring grey inside."""
    dx, dy = P_SLOT_OFFSETS[i]
    x0, y0 = P_RING_CX + dx - 20 + 1, P_RING_CY + dy - 20 + 1
    p_fill(img, x0, y0, x0 + 38, y0 + 38, P_RING)
    p_sunken(img, x0, y0, x0 + 38, y0 + 38)


def draw_palette_picture(scale=1):
    """The editor's picture and sprite strip as rows of (r, g, b), at 1 or 2 pixels a side for
    each picture pixel."""
    img = PalettePicture(scale)
    # The page tabs, then the raised frame they stand on, whose top edge runs under them; the tab
    # joint sprite erases that edge under the current tab.
    for n in range(8):
        p_tab(img, n)
    frame_x1 = P_TAB_LEFT + P_TAB_WIDTH * 8  # 266
    p_edges(img, P_TAB_LEFT, P_TAB_BOTTOM, frame_x1, PALETTE_PICTURE_H - 1, P_LIGHT, P_DARK)
    p_edges(img, P_TAB_LEFT + 1, P_TAB_BOTTOM + 1, frame_x1 - 1, PALETTE_PICTURE_H - 2, P_FACE, P_SHADOW)
    # The blue panel with its ring and slot frames.
    p_fill(img, 8, 29, 262, 283, P_PANEL)
    p_sunken(img, 6, 27, 264, 285)
    p_ring(img)
    for i in range(8):
        p_slot_frame(img, i)
    # The palette: white cells with grey grid lines, and the scroll bar, under one sunken border.
    p_fill(img, P_CELLS_X0, P_CELLS_Y0, P_CELLS_X1, P_CELLS_Y1, P_WHITE)
    for k in range(1, 8):
        p_fill(img, P_CELLS_X0 + P_CELL * k, P_CELLS_Y0, P_CELLS_X0 + P_CELL * k + 1, P_CELLS_Y1, P_GRID)
    for k in range(1, 7):
        p_fill(img, P_CELLS_X0, P_CELLS_Y0 + P_CELL * k, P_CELLS_X1, P_CELLS_Y0 + P_CELL * k + 1, P_GRID)
    # The scroll bar's track: a checkerboard of picture pixels, as large at every scale.
    for y in range(P_CELLS_Y0 * scale, P_CELLS_Y1 * scale):
        for x in range(P_BAR_X0 * scale, P_BAR_X1 * scale):
            img[y][x] = P_LIGHT if (x // scale + y // scale) % 2 == 0 else P_FACE
    p_button(img, P_BAR_X0, P_UP_Y, up=True, pressed=False)
    p_button(img, P_BAR_X0, P_DOWN_Y, up=False, pressed=False)
    p_sunken(img, P_CELLS_X0 - 2, P_CELLS_Y0 - 2, P_BAR_X1 + 2, P_CELLS_Y1 + 2)
    # The sprite strip: the tab joint, the thumb, the pressed arrows.
    strip = PALETTE_PICTURE_H
    p_fill(img, 0, strip, PALETTE_W, PALETTE_H, P_FACE)
    p_tab_edges(img, 0, strip, strip + 6)
    p_raised(img, 33, strip, 49, strip + 12)
    p_button(img, 49, strip, up=True, pressed=True)
    p_button(img, 65, strip, up=False, pressed=True)
    return img


def bmp8(rows, width, height):
    """A .bmp file of 8 bits per pixel with a 256-colour table, bottom row first, from rows of
    (r, g, b); the colours are numbered in sorted order and the unused entries are black."""
    colours = sorted({c for row in rows for c in row})
    if len(colours) > 256:
        raise ValueError("more than 256 colours")
    index = {c: i for i, c in enumerate(colours)}
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours) + b"\0" * (4 * (256 - len(colours)))
    stride = (width + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray(stride)
        for x, c in enumerate(rows[y]):
            line[x] = index[c]
        pixels += line
    header = _bitmap_info_header(width, height, 8, len(pixels), 256)
    offset = 14 + len(header) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + table + bytes(pixels)


def palette_bmp(scale):
    """The .bmp of the editor's picture drawn at that scale."""
    return lambda: bmp8(draw_palette_picture(scale), PALETTE_W * scale, PALETTE_H * scale)


# ---------------------------------------------------------------------------------------------
# The settings file that ships with the program
# ---------------------------------------------------------------------------------------------

# The launch item for the system's text editor. A bare program name: the program finds it through
# the system's search path, wherever Windows is installed, and takes the icon from the same file.
EDITOR = {"text": "メモ帳", "path": "notepad.exe"}
EDITOR_ID = len(COMMANDS) + 1

# Ring slots: 0 straight up, then clockwise in steps of 45 degrees. Page 0 puts maximize up and
# minimize down, as a window grows and shrinks; close on the right, where a window's own close
# button sits, away from both of them; translucency and send to bottom beside it; the three
# commands about the window's title and program down the left side. Page 1 holds always on top,
# up, and the editor, down.
PAGE_LAYOUT = [
    ["maximize", "translucent", "close", "bottom", "minimize", "openfolder", "copypath", "copytitle"],
    ["topmost", None, None, None, "editor", None, None, None],
]
# Palette: the first eight commands in their id order on row 0, the ninth and the editor on row 1.
PALETTE_LAYOUT = [[name for name, _, _ in COMMANDS[:8]], ["topmost", "editor"]]


def make_setting_ini():
    """setting.ini as the program itself writes it (item sections, ITEMS, the pages, the palette,
    then CONFIG as the settings dialog adds it), in code page 932 with CRLF line ends."""
    ids = {name: n + 1 for n, (name, _, _) in enumerate(COMMANDS)}
    ids["editor"] = EDITOR_ID
    lines = []

    def section(name, keys):
        lines.append("[%s]" % name)
        lines.extend("%s=%s" % (key, value) for key, value in keys)

    for n, (name, _, text) in enumerate(COMMANDS):
        section("ITEM%d" % n, [("ID", ids[name]), ("ICON", "icons\\%s.ico" % name), ("TEXT", text),
                               ("TYPE", 1), ("EVENT", n + 1)])
    section("ITEM%d" % len(COMMANDS),
            [("ID", EDITOR_ID), ("ICON", EDITOR["path"]), ("TEXT", EDITOR["text"]), ("TYPE", 2),
             ("SCPATH", EDITOR["path"]), ("SCARG", ""), ("SCDIR", ""), ("SCSHOW", 5)])
    section("ITEMS", [("NUM", len(COMMANDS) + 1)])
    for page in range(8):
        slots = PAGE_LAYOUT[page] if page < len(PAGE_LAYOUT) else [None] * 8
        section("PAGE%d" % page, [("ITEM%d" % s, ids[name] if name else 0) for s, name in enumerate(slots)])
    cells = [0] * 240
    for row, names in enumerate(PALETTE_LAYOUT):
        for column, name in enumerate(names):
            cells[row * 8 + column] = ids[name]
    section("PALETTE", [("ITEM%d" % c, cells[c]) for c in range(240)])
    section("CONFIG", [("TRIGGER", 0), ("SENDWHEEL", 0), ("ALPHA", 191)])
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


ARTWORK = [
    ("pivotel.ico", make_pivotel_ico),
    ("ring.bmp", skin_bmp(draw_ring_skin, 1)),
    ("highlight.bmp", skin_bmp(draw_highlight_skin, 1)),
    ("ring_2x.bmp", skin_bmp(draw_ring_skin, 2)),
    ("highlight_2x.bmp", skin_bmp(draw_highlight_skin, 2)),
    ("palette.bmp", palette_bmp(1)),
    ("palette_2x.bmp", palette_bmp(2)),
] + [("icons/%s.ico" % name, command_icon(draw)) for name, draw, _ in COMMANDS] + [
    ("setting.ini", make_setting_ini),
]


def generate(out_dir):
    for name, make in ARTWORK:
        path = os.path.join(out_dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(make())


def check():
    """Regenerates everything into a temporary folder and compares it with src/res/."""
    differing = []
    with tempfile.TemporaryDirectory() as tmp:
        generate(tmp)
        for name, _ in ARTWORK:
            committed = os.path.join(RES_DIR, name)
            with open(os.path.join(tmp, name), "rb") as f:
                fresh = f.read()
            try:
                with open(committed, "rb") as f:
                    same = f.read() == fresh
            except OSError:
                same = False
            if not same:
                differing.append(name)
    for name in differing:
        print("artgen: src/res/%s is missing or differs from the generator's output" % name,
              file=sys.stderr)
    if not differing:
        print("artgen: %d generated file(s) match" % len(ARTWORK))
    return 1 if differing else 0


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Pivotel's artwork into src/res/.")
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a temporary folder and fail if src/res/ differs")
    parser.add_argument("--out", default=RES_DIR, help="folder to write into (default src/res/)")
    args = parser.parse_args(argv)
    if args.check:
        return check()
    os.makedirs(args.out, exist_ok=True)
    generate(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
