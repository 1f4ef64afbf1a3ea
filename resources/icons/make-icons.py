#!/usr/bin/env python3
"""Draws Vespera's icons and writes them as .ico files (Python 3 standard library only).

    resources/icons/make-icons.py               writes the .ico files beside this script
    resources/icons/make-icons.py --preview DIR also writes enlarged PNG sheets into DIR

Every image is drawn at its own pixel size from simple shapes (discs, rings, rounded
rectangles, thick strokes), with 8x8 samples per pixel for smooth edges. Straight edges
sit on whole pixels and strokes have whole-pixel widths, so the small sizes stay crisp.

List icons (library "VesperaRes.dll"): 16, 22, 32 and 44 pixels, 32-bit colour with an
alpha channel and a mask. Application icon (the program's own module): 16, 22, 32, 44 and
64 pixels, 256 colours each, transparency by mask only.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 8  # per pixel and axis

LIST_SIZES = (16, 22, 32, 44)
APP_SIZES = (16, 22, 32, 44, 64)


# --- shapes: functions (x, y) -> bool in pixel coordinates (0..size) --------------------


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return inside


def stroke(points, half_width):
    """A polyline of the given half width with round joins and caps."""
    segments = list(zip(points, points[1:]))

    def inside(x, y):
        for (ax, ay), (bx, by) in segments:
            vx, vy = bx - ax, by - ay
            t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
            t = min(1.0, max(0.0, t))
            px, py = ax + t * vx - x, ay + t * vy - y
            if px * px + py * py <= half_width * half_width:
                return True
        return False

    return inside


def annulus_sector(cx, cy, r0, r1, a0, a1):
    """Ring between radii r0 and r1, angles a0..a1 in degrees (y grows downward)."""

    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not (r0 * r0 <= d2 <= r1 * r1):
            return False
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360.0
        return a0 <= a <= a1

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def shrunk(shape, border):
    """The shape less a band of `border` pixels along its edge (for outlines)."""
    ring = [
        (math.cos(i * math.pi / 8) * border, math.sin(i * math.pi / 8) * border)
        for i in range(16)
    ]
    return lambda x, y: shape(x, y) and all(shape(x + dx, y + dy) for dx, dy in ring)


# --- colours ------------------------------------------------------------------------------


def hex_colour(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def flat(colour):
    return lambda x, y: colour


def vertical_gradient(top, bottom, y0, y1):
    def paint(x, y):
        t = min(1.0, max(0.0, (y - y0) / float(y1 - y0)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))

    return paint


# --- rendering ----------------------------------------------------------------------------


def render(size, layers):
    """layers: list of (shape, paint), bottom first. Returns rows of straight RGBA."""
    step = 1.0 / SAMPLES
    offsets = [(i + 0.5) * step for i in range(SAMPLES)]
    count = SAMPLES * SAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for oy in offsets:
                y = py + oy
                for ox in offsets:
                    x = px + ox
                    r = g = b = a = 0.0
                    for shape, paint in layers:
                        if shape(x, y):
                            cr, cg, cb, ca = paint(x, y)
                            ca /= 255.0
                            r = cr * ca + r * (1 - ca)
                            g = cg * ca + g * (1 - ca)
                            b = cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            alpha = acc[3] / count
            if alpha <= 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append(
                    (
                        min(255, round(acc[0] / count / alpha)),
                        min(255, round(acc[1] / count / alpha)),
                        min(255, round(acc[2] / count / alpha)),
                        min(255, round(alpha * 255)),
                    )
                )
        rows.append(row)
    return rows


# --- the motifs ---------------------------------------------------------------------------


def badge_geometry(size):
    """Disc shared by both profile icons, so that rows line up whichever icon they show."""
    inset = 1 if size < 32 else 2
    r = (size - 2 * inset) / 2.0
    border = 1.0 if size < 32 else 2.0  # whole pixels: a crisp ring
    return size / 2.0, size / 2.0, r, border


def profile_inactive(size):
    """An empty grey ring: a profile that could be chosen but is not."""
    cx, cy, r, border = badge_geometry(size)
    ring_colour = hex_colour("8a919c")
    fill = vertical_gradient(hex_colour("f2f4f6"), hex_colour("d2d7de"), cy - r, cy + r)
    return render(
        size,
        [
            (disc(cx, cy, r), flat(ring_colour)),
            (disc(cx, cy, r - border), fill),
        ],
    )


def profile_active(size):
    """A green disc with a white check mark: the profile that screens the calls."""
    cx, cy, r, border = badge_geometry(size)
    fill = vertical_gradient(hex_colour("5bcf6c"), hex_colour("23903b"), cy - r, cy + r)
    # Check mark in units of the disc's radius, stroke of whole pixels.
    width = {16: 2.0, 22: 2.6, 32: 3.6, 44: 5.0}.get(size, size * 0.115)

    def at(u, v):
        return (cx + u * r, cy + v * r)

    check = [at(-0.50, 0.02), at(-0.14, 0.38), at(0.50, -0.30)]
    return render(
        size,
        [
            (disc(cx, cy, r), flat(hex_colour("1c7330"))),
            (disc(cx, cy, r - border), fill),
            (stroke(check, width / 2.0), flat(hex_colour("ffffff"))),
        ],
    )


def contact(size):
    """A person: head above rounded shoulders, parted by a thin gap, outlined in dark blue
    so that it stands out on a selected (blue) row too."""
    s = size / 16.0
    foot = float(size - (1 if size < 32 else 2))  # on a whole pixel
    head_y, head_r = 5.0 * s, 3.2 * s
    head = disc(8.0 * s, head_y, head_r)
    gap = disc(8.0 * s, head_y, head_r + max(1.0, 0.75 * s))
    shoulders = both(ellipse(8.0 * s, foot, 6.7 * s, 6.3 * s), rect(0, 0, size, foot))
    body = minus(shoulders, gap)
    border = 1.0 if size < 44 else 1.5
    fill = vertical_gradient(hex_colour("a4ccf6"), hex_colour("4d8ad6"), 1.5 * s, foot)
    dark = flat(hex_colour("1b3f7a"))
    return render(
        size,
        [(head, dark), (shrunk(head, border), fill), (body, dark), (shrunk(body, border), fill)],
    )


def call_refused(size):
    """A red disc crossed by a white bar: a call Vespera ended."""
    cx, cy, r, border = badge_geometry(size)
    fill = vertical_gradient(hex_colour("ef6a5e"), hex_colour("b8261b"), cy - r, cy + r)
    half = max(1.0, round(size * 0.09))
    bar = rect(round(cx - 0.55 * r), cy - half, round(cx + 0.55 * r), cy + half)
    return render(
        size,
        [
            (disc(cx, cy, r), flat(hex_colour("8c1a12"))),
            (disc(cx, cy, r - border), fill),
            (bar, flat(hex_colour("ffffff"))),
        ],
    )


def call_allowed(size):
    """A blue disc holding a white handset: a call Vespera let ring."""
    cx, cy, r, border = badge_geometry(size)
    fill = vertical_gradient(hex_colour("6fb1f2"), hex_colour("2a69c0"), cy - r, cy + r)
    box = r * 1.05
    return render(
        size,
        [
            (disc(cx, cy, r), flat(hex_colour("1b3f7a"))),
            (disc(cx, cy, r - border), fill),
            (handset(cx - box / 2.0, cy - box / 2.0, box), flat(hex_colour("ffffff"))),
        ],
    )


def ring_badge(size, ring, fill_top, fill_bottom):
    """A light disc inside a coloured ring of whole pixels, thick enough to read at 16."""
    cx, cy, r, _ = badge_geometry(size)
    width = {16: 2.0, 22: 3.0, 32: 4.0, 44: 5.0}.get(size, round(size * 0.11))
    fill = vertical_gradient(hex_colour(fill_top), hex_colour(fill_bottom), cy - r, cy + r)
    return cx, cy, r, width, [(disc(cx, cy, r), flat(hex_colour(ring))), (disc(cx, cy, r - width), fill)]


def number_blocked(size):
    """A red ring crossed from top left to bottom right: a number whose calls are refused."""
    cx, cy, r, width, layers = ring_badge(size, "c3261b", "ffffff", "f1e4e3")
    reach = (r - width / 2.0) * math.sqrt(0.5)
    bar = stroke([(cx - reach, cy - reach), (cx + reach, cy + reach)], width / 2.0)
    return render(size, layers + [(both(bar, disc(cx, cy, r - width / 2.0)), flat(hex_colour("c3261b")))])


def number_allowed(size):
    """A green ring holding a green check mark: a number whose calls always ring."""
    cx, cy, r, width, layers = ring_badge(size, "23903b", "ffffff", "e2f1e5")
    inner = r - width
    stroke_width = {16: 2.0, 22: 2.6, 32: 3.4, 44: 4.4}.get(size, size * 0.1)

    def at(u, v):
        return (cx + u * inner, cy + v * inner)

    check = [at(-0.58, 0.02), at(-0.16, 0.44), at(0.58, -0.36)]
    return render(size, layers + [(stroke(check, stroke_width / 2.0), flat(hex_colour("1c7330")))])


def turned_rounded_rect(cx, cy, half_length, half_width, degrees, r):
    """A rounded rectangle centred on (cx, cy), its length turned by `degrees`."""
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)
    box = rounded_rect(-half_length, -half_width, half_length, half_width, r)
    return lambda x, y: box((x - cx) * ca + (y - cy) * sa, -(x - cx) * sa + (y - cy) * ca)


def handset(box_x, box_y, box):
    """A telephone handset in the square (box_x, box_y, box): earpiece at the top left,
    mouthpiece at the bottom right, the handle bowed toward the bottom left."""
    cx, cy = box_x + 0.90 * box, box_y + 0.10 * box

    def pad(degrees):
        # Across the handle's end, reaching further in toward the face.
        a = math.radians(degrees)
        px, py = cx + 0.65 * box * math.cos(a), cy + 0.65 * box * math.sin(a)
        return turned_rounded_rect(px, py, 0.22 * box, 0.15 * box, degrees, 0.09 * box)

    handle = annulus_sector(cx, cy, 0.64 * box, 0.82 * box, 105.0, 165.0)
    return union(handle, pad(166.0), pad(104.0))


def shield(size):
    """Outline of the application's shield: flat top, rounded top corners, pointed foot."""
    x0, x1 = 1.0, size - 1.0
    top = 0.5 if size < 32 else 1.0
    foot = size - (0.25 if size < 32 else 0.5)
    mid = top + (foot - top) * 0.45
    w = x1 - x0
    h = (foot - mid) / math.sqrt(0.75)  # the two arcs meet at the foot, in the middle
    corner = max(1.5, size / 10.0)
    upper = rounded_rect(x0, top, x1, mid + corner + 1, corner)
    lower = both(ellipse(x1, mid, w, h), ellipse(x0, mid, w, h))
    return union(upper, both(lower, rect(x0, mid, x1, foot)))


def evening_star(cx, cy, r):
    """A four-pointed sparkle."""

    def inside(x, y):
        dx, dy = abs(x - cx), abs(y - cy)
        return math.sqrt(dx) + math.sqrt(dy) <= math.sqrt(r)

    return inside


def application(size):
    """A dusk-blue shield holding a white handset; from 32 pixels up, an evening star."""
    outline = shield(size)
    border = 1.0 if size < 44 else 1.5
    fill = vertical_gradient(hex_colour("6a5ae0"), hex_colour("2c2288"), 0, size)
    box_x, box_y, box = size * 0.18, size * 0.15, size * 0.62
    layers = [
        (outline, flat(hex_colour("1b1460"))),
        (shrunk(outline, border), fill),
        (handset(box_x, box_y, box), flat(hex_colour("ffffff"))),
    ]
    if size >= 32:
        star = evening_star(box_x + 0.80 * box, box_y + 0.20 * box, size * 0.14)
        layers.append((star, flat(hex_colour("ffd45a"))))
    return render(size, layers)


# --- files --------------------------------------------------------------------------------


def mask_rows(rows, transparent):
    """AND mask, 1 bit per pixel, bottom-up, rows padded to 32 bits."""
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if transparent(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return bytes(data)


def dib_32(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a) if a else (0, 0, 0, 0))
    return header + bytes(pixels) + mask_rows(rows, lambda p: p[3] == 0)


def quantise(colours, limit):
    """Median cut: at most `limit` representative colours for the given list."""
    boxes = [list(colours)]
    while len(boxes) < limit:
        # Split the box with the widest channel range.
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for channel in range(3):
                values = [c[channel] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(round(sum(c[i] for c in box) / len(box)) for i in range(3)))
    return palette


def dib_8(rows):
    """256 colours: index 0 is black for the transparent pixels (mask bit set)."""
    size = len(rows)
    opaque = [p[:3] for row in rows for p in row if p[3] >= 128]
    distinct = sorted(set(opaque))
    palette = distinct if len(distinct) <= 255 else quantise(opaque, 255)
    lookup = {}

    def index_of(colour):
        if colour not in lookup:
            lookup[colour] = 1 + min(
                range(len(palette)),
                key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)),
            )
        return lookup[colour]

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = bytearray(4 * 256)
    for i, (r, g, b) in enumerate(palette):
        table[4 * (i + 1) : 4 * (i + 2)] = bytes((b, g, r, 0))
    stride = (size + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            line[x] = index_of(p[:3]) if p[3] >= 128 else 0
        pixels += line
    return header + bytes(table) + bytes(pixels) + mask_rows(rows, lambda p: p[3] < 128)


def flatten_alpha(rows):
    """What a 256-colour icon can show: every pixel fully opaque or fully transparent."""
    return [[p[:3] + (255,) if p[3] >= 128 else (0, 0, 0, 0) for p in row] for row in rows]


def write_ico(path, images):
    """images: list of (size, bits per pixel, DIB bytes)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, bpp, dib in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(dib), offset)
        blobs += dib
        offset += len(dib)
    with open(path, "wb") as f:
        f.write(header + entries + blobs)


# --- previews -----------------------------------------------------------------------------


def write_png(path, width, height, pixels):
    """pixels: rows of RGB tuples."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def preview(path, images, scale=8):
    """Each image at its size and enlarged, on white, on the list's selection blue, on grey."""
    backgrounds = [(255, 255, 255), (49, 106, 197), (212, 208, 200)]
    gap = 8
    width = sum(len(rows) * (scale + 1) + gap for rows in images) + gap
    band = max(len(rows) for rows in images) * (scale + 1) + gap
    height = band * len(backgrounds) + gap
    canvas = [[(128, 128, 128)] * width for _ in range(height)]
    for band_index, bg in enumerate(backgrounds):
        x = gap
        top = gap + band_index * band
        for rows in images:
            size = len(rows)
            for py in range(size):
                for px in range(size):
                    r, g, b, a = rows[py][px]
                    t = a / 255.0
                    c = tuple(round(cv * t + bv * (1 - t)) for cv, bv in zip((r, g, b), bg))
                    for dy in range(scale):
                        for dx in range(scale):
                            canvas[top + py * scale + dy][x + px * scale + dx] = c
                    canvas[top + py][x + size * scale + 2 + px] = c  # actual size
            for py in range(size * scale, band - gap):
                for px in range(size * scale):
                    canvas[top + py][x + px] = bg
            x += size * (scale + 1) + gap
    write_png(path, width, height, canvas)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    preview_dir = None
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview_dir = sys.argv[2]
    elif len(sys.argv) != 1:
        sys.exit(__doc__)

    list_icons = [
        ("profile-inactive", profile_inactive),
        ("profile-active", profile_active),
        ("contact", contact),
        ("call-refused", call_refused),
        ("call-allowed", call_allowed),
        ("number-blocked", number_blocked),
        ("number-allowed", number_allowed),
    ]
    for name, draw in list_icons:
        drawn = [draw(size) for size in LIST_SIZES]
        write_ico(os.path.join(here, name + ".ico"), [(len(r), 32, dib_32(r)) for r in drawn])
        if preview_dir:
            preview(os.path.join(preview_dir, name + ".png"), drawn)

    drawn = [flatten_alpha(application(size)) for size in APP_SIZES]
    write_ico(os.path.join(here, "vespera.ico"), [(len(r), 8, dib_8(r)) for r in drawn])
    if preview_dir:
        preview(os.path.join(preview_dir, "vespera.png"), drawn)


if __name__ == "__main__":
    main()
