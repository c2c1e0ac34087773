#!/usr/bin/env python3
"""Draws Pivotel's artwork and writes the generated files into src/res/.

    artgen.py             regenerate the files in src/res/
    artgen.py --out DIR   write them into DIR instead
    artgen.py --check     regenerate into a temporary folder; exit 1 if a committed file differs

The generated files are committed, so a build never needs this script. It uses the standard
library only, and its output is the same bytes on every run and every machine: the geometry uses
only IEEE arithmetic, square roots and directions rounded to 12 decimals, and PNG data is packed
by the small deflate encoder below rather than by the zlib library, whose output differs between
zlib versions.

Adding artwork: write a function that returns the file's bytes, built from the drawing helpers
(canvas, shapes, paint) and the encoders (ico, bmp, png), and list it in ARTWORK.
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


ARTWORK = [
    ("pivotel.ico", make_pivotel_ico),
]


def generate(out_dir):
    for name, make in ARTWORK:
        with open(os.path.join(out_dir, name), "wb") as f:
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
