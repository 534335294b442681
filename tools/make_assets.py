#!/usr/bin/env python3
"""Draws Zorbel's pictures and synthesises its sounds.

Everything is computed from the parameters in this file with the standard
library alone, so running it again reproduces the committed files byte for
byte. Usage: make_assets.py [--out DIR]   (default: the repository's assets/)
"""

import argparse
import math
import os
import struct
import zlib

# The ball is lit from the upper left and a little in front, so the highlight
# sits top-left and the lower right falls into shadow.
BALL_ORANGE = (0.93, 0.44, 0.11)
SEAM_DARK = (0.09, 0.04, 0.02)
AMBIENT = 0.24
DIFFUSE = 0.92
SPECULAR = 0.22
SHININESS = 18.0


def _normalised(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


LIGHT = _normalised((-0.50, -0.62, 0.60))
HALFWAY = _normalised((LIGHT[0], LIGHT[1], LIGHT[2] + 1.0))

# Seams are circles on the sphere, each the cut of a plane n.p = c, given in
# the ball's own frame and then turned towards the viewer: seen from a little
# above, the horizontal seam sags into a curve and the ball reads as round.
PITCH = math.radians(11.0)
# The two side seams circle poles that sit slightly behind the outline, so
# they bow outwards like the classic basketball's "( | )".
SIDE_POLE_BEHIND = math.radians(26.0)
SIDE_SEAM_OFFSET = 0.38


def seam_planes(pitch, yaw=0.0):
    """The seams as (unit normal, angular offset of the circle), turned by yaw
    about the vertical axis and then by pitch about the horizontal one."""
    lean_x, lean_z = math.cos(SIDE_POLE_BEHIND), -math.sin(SIDE_POLE_BEHIND)
    planes = [
        ((1.0, 0.0, 0.0), 0.0),
        ((0.0, 1.0, 0.0), 0.0),
        ((-lean_x, 0.0, lean_z), SIDE_SEAM_OFFSET),
        ((lean_x, 0.0, lean_z), SIDE_SEAM_OFFSET),
    ]
    cy, sy, cp, sp = math.cos(yaw), math.sin(yaw), math.cos(pitch), math.sin(pitch)
    turned = []
    for (x, y, z), c in planes:
        x, z = x * cy + z * sy, -x * sy + z * cy
        y, z = y * cp + z * sp, -y * sp + z * cp
        turned.append(((x, y, z), math.asin(c)))
    return turned


def pixel_snapped_seams(width, height, radius):
    """Nudges the seams so the point where the two great circles cross lies on
    a pixel centre: a one-pixel seam then stays one crisp pixel instead of
    smearing over two."""
    cx, cy = width / 2.0, height / 2.0
    yaw = math.asin((math.floor(cx) + 0.5 - cx) / radius)
    drop = math.floor(cy + radius * math.sin(PITCH)) + 0.5 - cy
    return seam_planes(math.asin(drop / (radius * math.cos(yaw))), yaw)


# Seam width at the 80 x 74 picture's 37 px radius. It grows more slowly than
# the ball, so large icons keep fine seams, and never drops below one pixel, or
# small icons would lose them.
SEAM_WIDTH_AT_37 = 1.3
SEAM_MIN_WIDTH = 1.0


def seam_width_px(radius):
    return max(SEAM_MIN_WIDTH, SEAM_WIDTH_AT_37 * (radius / 37.0) ** 0.75)


def paint_ball(x, y, seams, seam_half_angle):
    """Colour of the ball surface at (x, y) inside the unit disc, y down."""
    z = math.sqrt(max(0.0, 1.0 - x * x - y * y))
    lambert = max(0.0, x * LIGHT[0] + y * LIGHT[1] + z * LIGHT[2])
    shade = AMBIENT + DIFFUSE * lambert
    gloss = SPECULAR * max(0.0, x * HALFWAY[0] + y * HALFWAY[1] + z * HALFWAY[2]) ** SHININESS
    # A seam is a band on the surface, measured as an angle from its circle, so
    # it foreshortens towards the outline as a real one does; only partly,
    # though, or at a few pixels across it would fade out before the rim.
    reach = seam_half_angle / math.sqrt(max(z, 0.5))
    on_seam = False
    for (nx, ny, nz), circle in seams:
        d = max(-1.0, min(1.0, nx * x + ny * y + nz * z))
        if abs(math.asin(d) - circle) < reach:
            on_seam = True
            break
    base = SEAM_DARK if on_seam else BALL_ORANGE
    seam_light = 0.4 + 0.6 * shade if on_seam else shade
    return tuple(min(1.0, c * seam_light + gloss) for c in base)


def render_disc(width, height, radius, paint, supersample):
    """Supersamples paint(x, y) over a disc centred in a width x height image.

    Returns rows of (channels, coverage): channels averaged over the samples
    inside the disc, coverage the fraction of samples inside. A pixel with no
    sample inside gets coverage 0 and is background.
    """
    cx, cy = width / 2.0, height / 2.0
    offsets = [(i + 0.5) / supersample for i in range(supersample)]
    total = supersample * supersample
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            sums = None
            inside = 0
            for oy in offsets:
                y = (py + oy - cy) / radius
                for ox in offsets:
                    x = (px + ox - cx) / radius
                    if x * x + y * y >= 1.0:
                        continue
                    value = paint(x, y)
                    sums = list(value) if sums is None else [a + b for a, b in zip(sums, value)]
                    inside += 1
            if inside == 0:
                row.append(((), 0.0))
            else:
                row.append((tuple(s / inside for s in sums), inside / total))
        rows.append(row)
    return rows


def render_ball(width, height, radius):
    half_angle = seam_width_px(radius) / 2.0 / radius
    # Past 128 px a pixel is a small part of the ball, and 2 x 2 samples keep
    # the 512 px web icon's render to seconds.
    supersample = 8 if radius <= 40 else (4 if radius <= 80 else (3 if radius <= 128 else 2))
    seams = pixel_snapped_seams(width, height, radius)
    return render_disc(width, height, radius,
                       lambda x, y: paint_ball(x, y, seams, half_angle), supersample)


# The close button: a red disc crossed by a white X with round ends, lit a
# little from above like a glossy button.
CLOSE_RED = (0.86, 0.10, 0.09)
CLOSE_WHITE = (1.0, 1.0, 1.0)
CLOSE_TOP_LIGHT = 1.12
CLOSE_BOTTOM_LIGHT = 0.78
CROSS_REACH = 0.40
CROSS_HALF_WIDTH = 0.115


def paint_close(x, y):
    """(white, light): how much the X covers (x, y), and the red's lighting."""
    ax, ay = abs(x), abs(y)
    # Distance to the segment from (0, 0) to (reach, reach), folded into one quadrant.
    t = max(0.0, min(CROSS_REACH, (ax + ay) / 2.0))
    d = math.hypot(ax - t, ay - t)
    light = CLOSE_TOP_LIGHT + (CLOSE_BOTTOM_LIGHT - CLOSE_TOP_LIGHT) * (y + 1.0) / 2.0
    return (1.0 if d < CROSS_HALF_WIDTH else 0.0, light)


def render_close(size):
    return render_disc(size, size, size / 2.0, paint_close, 8)


def close_colour(white, light):
    return tuple(min(1.0, r * light) * (1.0 - white) + w * white
                 for r, w in zip(CLOSE_RED, CLOSE_WHITE))


# The hand cursor, 1 bit deep: X black, o white, . transparent. The tip of the
# index finger is the hot spot.
HAND_HOTSPOT = (5, 0)
HAND = [
    ".....XX...........",
    "....XooX..........",
    "....XooX..........",
    "....XooX..........",
    "....XooX..........",
    "....XooXXX........",
    "....XooXooXXX.....",
    "....XooXooXooXX...",
    "....XooXooXooXoX..",
    ".XX.XooXooXooXooX.",
    "XooXXooooooooXooX.",
    "XoooXoooooooooooX.",
    ".XooXoooooooooooX.",
    ".XoooooooooooooX..",
    "..XooooooooooooX..",
    "..XooooooooooooX..",
    "...XoooooooooooX..",
    "...XooooooooooX...",
    "....XooooooooX....",
    "....XooooooooX....",
    "....XXXXXXXXXX....",
]


def _byte(value):
    return max(0, min(255, int(round(value * 255.0))))


def rgb_on_black(rows):
    """Blends each pixel toward black by its coverage: the window is black."""
    return [[tuple(_byte(c * cov) for c in ch) if cov else (0, 0, 0) for ch, cov in row]
            for row in rows]


def rgba(rows):
    return [[tuple(_byte(c) for c in ch) + (_byte(cov),) if cov else (0, 0, 0, 0)
             for ch, cov in row] for row in rows]


def bmp_24(pixels):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        body += line + bytes(stride - len(line))
    offset = 14 + 40
    header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + bytes(body)


def _bit_rows(rows):
    """Packs rows of booleans into a bottom-up 1-bpp bitmap, rows padded to 4 bytes."""
    stride = ((len(rows[0]) + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, bit in enumerate(row):
            if bit:
                line[x >> 3] |= 0x80 >> (x & 7)
        out += line
    return bytes(out)


def _mask_rows(opaque):
    """The AND mask, in which a set bit makes the pixel transparent."""
    return _bit_rows([[not solid for solid in row] for row in opaque])


def icon_file(kind, image, width, height, colour_count, planes_or_hotx, bpp_or_hoty):
    """Wraps one DIB image into an icon (kind 1) or cursor (kind 2) file."""
    directory = struct.pack('<HHH', 0, kind, 1)
    entry = struct.pack('<BBBBHHII', width, height, colour_count, 0,
                        planes_or_hotx, bpp_or_hoty, len(image), 6 + 16)
    return directory + entry + image


def _dib_header(width, height, bpp, image_size):
    # The height counts the colour image and the mask stacked together.
    return struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bpp, 0, image_size, 0, 0, 0, 0)


def ico_24(pixels, opaque):
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    colour = bytearray()
    for y in reversed(range(height)):
        line = bytearray()
        for rgb, solid in zip(pixels[y], opaque[y]):
            # Transparent pixels must be black: the colour is XORed onto the screen.
            line += bytes(reversed(rgb)) if solid else bytes(3)
        colour += line + bytes(stride - len(line))
    mask = _mask_rows(opaque)
    image = _dib_header(width, height, 24, len(colour) + len(mask)) + bytes(colour) + mask
    return icon_file(1, image, width, height, 0, 1, 24)


def ico_8(indices, palette, opaque):
    height, width = len(indices), len(indices[0])
    stride = (width + 3) & ~3
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    colour = bytearray()
    for row in reversed(indices):
        colour += bytes(row) + bytes(stride - width)
    mask = _mask_rows(opaque)
    image = _dib_header(width, height, 8, len(colour) + len(mask)) + table + bytes(colour) + mask
    return icon_file(1, image, width, height, 0, 1, 8)


def cur_1(white, opaque, hotspot):
    height, width = len(white), len(white[0])
    table = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    colour = _bit_rows(white)
    mask = _mask_rows(opaque)
    image = _dib_header(width, height, 1, len(colour) + len(mask)) + table + colour + mask
    return icon_file(2, image, width, height, 2, hotspot[0], hotspot[1])


def png(pixels, alpha):
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def median_cut(counts, colours):
    """A palette of up to `colours` entries for the pixel values in `counts`
    (value -> how often): the box of values with the largest squared error
    is halved at its weighted median along its widest channel, and each box
    becomes the mean of its values."""
    def error(box):
        total = sum(n for _, n in box)
        means = [sum(v[i] * n for v, n in box) / total for i in range(len(box[0][0]))]
        return sum(n * (v[i] - mean) ** 2 for v, n in box for i, mean in enumerate(means))

    boxes = [(error(box), box) for box in [sorted(counts.items())]]
    while len(boxes) < colours and boxes[-1][0] > 0:
        _, box = boxes.pop()
        channels = range(len(box[0][0]))
        widest = max(channels, key=lambda i: max(v[i] for v, _ in box) - min(v[i] for v, _ in box))
        box.sort(key=lambda entry: (entry[0][widest], entry[0]))
        half, seen, cut = sum(n for _, n in box) / 2, 0, 1
        for cut, (_, n) in enumerate(box[:-1], 1):
            seen += n
            if seen >= half:
                break
        boxes += [(error(part), part) for part in (box[:cut], box[cut:])]
        boxes.sort(key=lambda entry: entry[0])
    return sorted(tuple(round(sum(v[i] * n for v, n in box) / sum(n for _, n in box)) for i in range(len(box[0][0])))
                  for _, box in boxes)


def png_indexed(pixels, colours):
    """An 8-bit palette PNG of RGBA pixels: a quarter of the truecolour
    file's size, which keeps the web icons within the site's budget."""
    counts = {}
    for row in pixels:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    palette = median_cut(counts, colours)
    nearest = {p: min(range(len(palette)), key=lambda k: sum((a - b) ** 2 for a, b in zip(p, palette[k])))
               for p in counts}
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        raw += bytes(nearest[p] for p in row)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', len(pixels[0]), len(pixels), 8, 3, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'PLTE', b''.join(bytes(p[:3]) for p in palette))
            + chunk(b'tRNS', bytes(p[3] for p in palette))
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def make_ball_pictures():
    files = {}
    files['ball.bmp'] = bmp_24(rgb_on_black(render_ball(80, 74, 37.0)))
    files['ball@2x.png'] = png(rgb_on_black(render_ball(160, 148, 74.0)), alpha=False)

    small = render_ball(32, 32, 16.0)
    # The icon's mask is all or nothing; half-covered rim pixels keep their
    # darkened colour, which reads as a thin outline on any desktop.
    opaque = [[cov >= 0.5 for _, cov in row] for row in small]
    files['ball.ico'] = ico_24(rgb_on_black(small), opaque)

    for size in (16, 32, 48, 64, 128, 256):
        files[f'icons/zorbel-{size}.png'] = png(rgba(render_ball(size, size, size / 2.0)), alpha=True)
    # The web app's icons, for a home screen and the splash screen.
    for size in (192, 512):
        files[f'icons/zorbel-{size}.png'] = png_indexed(rgba(render_ball(size, size, size / 2.0)), 128)
    files['icons/zorbel.svg'] = ball_svg(256)
    return files


def make_close_pictures():
    files = {}
    # The icon sits on a grey button, so its rim is cut at half coverage rather
    # than blended toward any one background. Colour 0 is the black that the
    # transparent pixels need; the other 255 are a grid of the red's lighting
    # (15 steps, top to bottom) by the share of white (17 steps).
    light_steps, white_steps = 15, 17
    palette = [(0, 0, 0)]
    for k in range(light_steps):
        light = CLOSE_TOP_LIGHT + (CLOSE_BOTTOM_LIGHT - CLOSE_TOP_LIGHT) * k / (light_steps - 1)
        for w in range(white_steps):
            palette.append(tuple(_byte(c) for c in close_colour(w / (white_steps - 1), light)))

    def index(channels):
        white, light = channels
        k = round((light - CLOSE_TOP_LIGHT) / (CLOSE_BOTTOM_LIGHT - CLOSE_TOP_LIGHT) * (light_steps - 1))
        return 1 + k * white_steps + round(white * (white_steps - 1))

    rows = render_close(32)
    opaque = [[cov >= 0.5 for _, cov in row] for row in rows]
    indices = [[index(ch) if solid else 0 for (ch, _), solid in zip(row, mask)]
               for row, mask in zip(rows, opaque)]
    files['close.ico'] = ico_8(indices, palette, opaque)

    big = render_close(64)
    files['close@2x.png'] = png(
        [[tuple(_byte(c) for c in close_colour(*ch)) + (_byte(cov),) if cov else (0, 0, 0, 0)
          for ch, cov in row] for row in big], alpha=True)
    return files


def make_hand_cursor():
    size = 32
    white = [[False] * size for _ in range(size)]
    opaque = [[False] * size for _ in range(size)]
    for y, line in enumerate(HAND):
        for x, mark in enumerate(line):
            opaque[y][x] = mark in 'Xo'
            white[y][x] = mark == 'o'
    return {'hand.cur': cur_1(white, opaque, HAND_HOTSPOT)}


def _seam_arc(normal, circle, half):
    """The visible part of one seam as an SVG elliptical arc.

    A circle on the sphere projects to an ellipse. With u in the screen plane
    and v = n x u, a point's depth is offset * nz + radius * vz * sin(a), so
    the part facing the viewer runs from a = s to a = pi - s.
    """
    nx, ny, nz = normal
    offset, radius = math.sin(circle), math.cos(circle)
    u = _normalised((-ny, nx, 0.0))
    v = (ny * u[2] - nz * u[1], nz * u[0] - nx * u[2], nx * u[1] - ny * u[0])
    start = math.asin(max(-1.0, min(1.0, -offset * nz / (radius * v[2]))))

    def point(a):
        x = offset * nx + radius * (math.cos(a) * u[0] + math.sin(a) * v[0])
        y = offset * ny + radius * (math.cos(a) * u[1] + math.sin(a) * v[1])
        return f'{half + x * half:.2f},{half + y * half:.2f}'

    rotation = math.degrees(math.atan2(u[1], u[0]))
    large = 1 if start < 0.0 else 0
    # Increasing a turns the way nz points, which on a y-down screen is SVG's sweep.
    sweep = 1 if nz > 0.0 else 0
    return (f'M{point(start)} A{radius * half:.2f},{radius * abs(nz) * half:.2f} '
            f'{rotation:.2f} {large} {sweep} {point(math.pi - start)}')


def ball_svg(size):
    half = size / 2.0
    stroke = seam_width_px(half)
    paths = [_seam_arc(normal, circle, half) for normal, circle in seam_planes(PITCH)]
    hi = tuple(_byte(min(1.0, c * (AMBIENT + DIFFUSE) + SPECULAR)) for c in BALL_ORANGE)
    mid = tuple(_byte(c * (AMBIENT + DIFFUSE * 0.75)) for c in BALL_ORANGE)
    low = tuple(_byte(c * AMBIENT) for c in BALL_ORANGE)
    seam = tuple(_byte(c) for c in SEAM_DARK)
    hexa = '#{:02x}{:02x}{:02x}'.format
    lines = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
        f'viewBox="0 0 {size} {size}">',
        '  <title>Zorbel</title>',
        '  <defs>',
        '    <radialGradient id="shade" cx="0.36" cy="0.32" r="0.74">',
        f'      <stop offset="0" stop-color="{hexa(*hi)}"/>',
        f'      <stop offset="0.45" stop-color="{hexa(*mid)}"/>',
        f'      <stop offset="1" stop-color="{hexa(*low)}"/>',
        '    </radialGradient>',
        f'    <clipPath id="ball"><circle cx="{half:g}" cy="{half:g}" r="{half:g}"/></clipPath>',
        '  </defs>',
        f'  <circle cx="{half:g}" cy="{half:g}" r="{half:g}" fill="url(#shade)"/>',
        f'  <g fill="none" stroke="{hexa(*seam)}" stroke-width="{stroke:.2f}" '
        'clip-path="url(#ball)">',
    ]
    lines += [f'    <path d="{d}"/>' for d in paths]
    lines += ['  </g>', '</svg>', '']
    return '\n'.join(lines).encode('ascii')


SAMPLE_RATE = 11025


def _noise(seed):
    """A small linear congruential generator: the same noise on every run."""
    state = seed
    while True:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        yield state / 0x3FFFFFFF - 1.0


def _fade_out(signal, length):
    # A raised-cosine tail that reaches exactly zero on the last sample.
    n = len(signal)
    for k in range(length):
        signal[n - length + k] *= 0.5 * (1.0 + math.cos(math.pi * k / (length - 1)))


def _to_unsigned_8(signal, peak):
    scale = peak / max(abs(s) for s in signal)
    return bytes(max(0, min(255, 128 + int(round(127.0 * s * scale)))) for s in signal)


def synth_bounce():
    """A soft low thump: a sine whose pitch drops fast, over a short noise tap."""
    count = 1086
    noise = _noise(102)
    signal, phase, smooth = [], math.pi / 4.0, 0.0
    for i in range(count):
        t = i / SAMPLE_RATE
        pitch = 115.0 + 125.0 * math.exp(-t / 0.012)
        phase += 2.0 * math.pi * pitch / SAMPLE_RATE
        # Full level within 0.7 ms: a recording shows the onset to the sample.
        attack = min(1.0, (i + 1) / 8.0)
        body = math.sin(phase) + 0.18 * math.sin(2.7 * phase) * math.exp(-t / 0.010)
        smooth += 0.35 * (next(noise) - smooth)
        tap = 0.45 * smooth * math.exp(-t / 0.0025)
        signal.append(attack * (0.85 * body * math.exp(-t / 0.024) + tap))
    _fade_out(signal, 130)
    return _to_unsigned_8(signal, 0.80)


def synth_release():
    """A bright rising chime over a breath of noise, as the ball leaves the hand."""
    count = 3080
    noise = _noise(103)
    signal, phase = [], 0.0
    low = band = 0.0
    for i in range(count):
        t = i / SAMPLE_RATE
        # Glides up a fifth, most of it in the first 100 ms.
        pitch = 587.0 * (1.0 + 0.5 * (1.0 - math.exp(-t / 0.045)))
        phase += 2.0 * math.pi * pitch / SAMPLE_RATE
        attack = min(1.0, (i + 1) / 12.0)
        chime = (math.sin(phase) * math.exp(-t / 0.090)
                 + 0.30 * math.sin(2.0 * phase) * math.exp(-t / 0.050)
                 + 0.10 * math.sin(3.0 * phase) * math.exp(-t / 0.030))
        # A state-variable band-pass whose centre rises with the chime: the whoosh.
        centre = 700.0 + 1500.0 * (1.0 - math.exp(-t / 0.080))
        f = 2.0 * math.sin(math.pi * centre / SAMPLE_RATE)
        low += f * band
        high = next(noise) - low - 0.5 * band
        band += f * high
        whoosh = 0.22 * band * math.sin(math.pi * min(1.0, t / 0.200)) ** 0.5
        signal.append(attack * (0.9 * chime + whoosh * math.exp(-t / 0.120)))
    _fade_out(signal, 330)
    return _to_unsigned_8(signal, 0.78)


def _riff_chunk(kind, data):
    pad = b'\0' if len(data) % 2 else b''
    return kind + struct.pack('<I', len(data)) + data + pad


def wav(samples, info=()):
    fmt = struct.pack('<HHIIHH', 1, 1, SAMPLE_RATE, SAMPLE_RATE, 1, 8)
    body = b'WAVE' + _riff_chunk(b'fmt ', fmt) + _riff_chunk(b'data', samples)
    if info:
        entries = b''.join(_riff_chunk(key, text.encode('ascii') + b'\0') for key, text in info)
        body += _riff_chunk(b'LIST', b'INFO' + entries)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def make_sounds():
    return {
        'bounce.wav': wav(synth_bounce(), info=((b'INAM', 'rimbalzo'), (b'ISFT', 'make_assets.py'))),
        'release.wav': wav(synth_release()),
    }


def make_all():
    files = {}
    for part in (make_ball_pictures, make_close_pictures, make_hand_cursor, make_sounds):
        files.update(part())
    return files


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--out', default=os.path.join(here, os.pardir, 'assets'),
                        help='directory to write into (default: the repository assets/)')
    args = parser.parse_args()
    for name, data in sorted(make_all().items()):
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
