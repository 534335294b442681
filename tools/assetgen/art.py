"""Zorbel's pictures: the ball, the close button and the hand cursor, in
the sizes and files every platform embeds, and the desktop and web icons.
Each is drawn from the parameters here; the files are written by
encoders.py."""

import math
import os
import re

from .encoders import bmp_24, cur_1, ico_8, ico_png, icon_file, icon_group, icon_image_24, png, png_indexed

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)


def from_source(path, pattern):
    """The numbers a C++ header of the program gives where `pattern` matches:
    a value the program and its pictures share is written there once."""
    with open(os.path.join(ROOT, path), encoding='utf-8') as f:
        found = re.search(pattern, f.read())
    if not found:
        raise SystemExit(f'{path}: nothing matches {pattern!r}, which the picture generator reads')
    return tuple(int(n) for n in found.groups())


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
CLOSE_LIGHT_TOP, CLOSE_LIGHT_BOTTOM = 1.12, 0.78
CROSS_REACH = 0.40
CROSS_HALF_WIDTH = 0.115


def close_light(part, whole):
    """The red's lighting `part` of the way `whole` down the button."""
    return CLOSE_LIGHT_TOP + (CLOSE_LIGHT_BOTTOM - CLOSE_LIGHT_TOP) * part / whole


def paint_close(x, y):
    """(white, light): how much the X covers (x, y), and the red's lighting."""
    ax, ay = abs(x), abs(y)
    # Distance to the segment from (0, 0) to (reach, reach), folded into one quadrant.
    t = max(0.0, min(CROSS_REACH, (ax + ay) / 2.0))
    d = math.hypot(ax - t, ay - t)
    light = close_light(y + 1.0, 2.0)
    return (1.0 if d < CROSS_HALF_WIDTH else 0.0, light)


def render_close(size):
    return render_disc(size, size, size / 2.0, paint_close, 8)


def close_colour(white, light):
    return tuple(min(1.0, r * light) * (1.0 - white) + w * white
                 for r, w in zip(CLOSE_RED, CLOSE_WHITE))


# The hand cursor, 1 bit deep: X black, o white, . transparent. The tip of the
# index finger is the hot spot, kept in window/design.h because the web page
# names it to the browser too.
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


def make_ball_pictures():
    files = {}
    files['ball.bmp'] = bmp_24(rgb_on_black(render_ball(80, 74, 37.0)))
    # Windows shows bitmaps only from BMP files, the other platforms take the PNG.
    big = rgb_on_black(render_ball(160, 148, 74.0))
    files['ball@2x.png'] = png(big, alpha=False)
    files['win32/ball@2x.bmp'] = bmp_24(big)

    small = render_ball(32, 32, 16.0)
    # The icon's mask is all or nothing; half-covered rim pixels keep their
    # darkened colour, which reads as a thin outline on any desktop.
    opaque = [[cov >= 0.5 for _, cov in row] for row in small]
    icon = icon_image_24(rgb_on_black(small), opaque)
    files['ball.ico'] = icon_file(1, icon)
    # The resource script takes the icon as its two raw resources, so that
    # its image keeps its id: an ICON statement would number the image itself.
    files['win32/ball-icon.bin'] = icon.data
    image_id = from_source('assets/win32/resource.h', r'#define ZORBEL_BALL_ICON_IMAGE ([0-9]+)')
    files['win32/ball-icon-group.bin'] = icon_group(icon, *image_id)

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
        light = close_light(k, light_steps - 1)
        for w in range(white_steps):
            palette.append(tuple(_byte(c) for c in close_colour(w / (white_steps - 1), light)))

    def index(channels):
        white, light = channels
        k = round((light - CLOSE_LIGHT_TOP) / (CLOSE_LIGHT_BOTTOM - CLOSE_LIGHT_TOP) * (light_steps - 1))
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
    files['win32/close@2x.ico'] = ico_png(files['close@2x.png'], 64)
    return files


def make_hand_cursor():
    size = 32
    white = [[False] * size for _ in range(size)]
    opaque = [[False] * size for _ in range(size)]
    for y, line in enumerate(HAND):
        for x, mark in enumerate(line):
            opaque[y][x] = mark in 'Xo'
            white[y][x] = mark == 'o'
    hot_spot = from_source('window/design.h', r'Point handHotSpot \{ ([0-9]+), ([0-9]+) \}')
    return {'hand.cur': cur_1(white, opaque, hot_spot)}


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


def make_pictures():
    files = {}
    for part in (make_ball_pictures, make_close_pictures, make_hand_cursor):
        files.update(part())
    return files
