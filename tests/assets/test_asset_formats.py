#!/usr/bin/env python3
"""The committed assets: their exact formats, and that they are what the
generator makes today."""

import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib
import xml.etree.ElementTree as ElementTree

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir)
ASSETS = os.path.join(ROOT, 'assets')
GENERATOR = os.path.join(ROOT, 'tools', 'make_assets.py')


def read(name, folder=ASSETS):
    with open(os.path.join(folder, name), 'rb') as f:
        return f.read()


def png_pixels(data):
    """(width, height, colour type, rows of channel tuples) of an 8-bit PNG;
    a palette image's rows hold its entries as RGBA."""
    assert data[:8] == b'\x89PNG\r\n\x1a\n'
    pos, chunks = 8, {}
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        chunks[kind] = chunks.get(kind, b'') + data[pos + 8:pos + 8 + length]
        pos += 12 + length
    width, height, depth, colour_type = struct.unpack('>IIBB', chunks[b'IHDR'][:10])
    assert depth == 8
    channels = {2: 3, 3: 1, 6: 4}[colour_type]
    raw, stride, rows, previous = zlib.decompress(chunks[b'IDAT']), width * channels, [], bytes(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = previous[i], previous[i - channels] if i >= channels else 0
            p = a + b - c
            paeth = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 0xFF
        previous = bytes(line)
        rows.append([tuple(line[x * channels:(x + 1) * channels]) for x in range(width)])
    if colour_type == 3:
        plte, alpha = chunks[b'PLTE'], chunks.get(b'tRNS', b'')
        palette = [tuple(plte[3 * i:3 * i + 3]) + (alpha[i] if i < len(alpha) else 255,) for i in range(len(plte) // 3)]
        rows = [[palette[index] for (index,) in row] for row in rows]
    return width, height, colour_type, rows


def icon_file(data, kind):
    """The single image of an .ico/.cur file as (entry, header, palette, rows, mask rows), top-down."""
    assert struct.unpack('<HHH', data[:6]) == (0, kind, 1)
    entry = struct.unpack('<BBBBHHII', data[6:22])
    assert entry[6] == len(data) - 22 and entry[7] == 22
    header = struct.unpack('<IiiHHIIiiII', data[22:62])
    width, height, bpp = header[1], header[2] // 2, header[4]
    palette_size = (1 << bpp) if bpp <= 8 else 0
    palette = [tuple(data[62 + 4 * i:65 + 4 * i][::-1]) for i in range(palette_size)]
    stride, mask_stride = (width * bpp + 31) // 32 * 4, (width + 31) // 32 * 4
    start = 62 + 4 * palette_size
    mask_start = start + stride * height
    assert len(data) == mask_start + mask_stride * height, 'image or mask size is wrong'

    def pixel(row, x):
        if bpp == 24:
            return tuple(row[3 * x:3 * x + 3][::-1])
        return (row[x * bpp // 8] >> (8 - bpp - x * bpp % 8)) & ((1 << bpp) - 1)

    rows, masks = [], []
    for y in reversed(range(height)):
        row = data[start + y * stride:start + (y + 1) * stride]
        mask = data[mask_start + y * mask_stride:mask_start + (y + 1) * mask_stride]
        rows.append([pixel(row, x) for x in range(width)])
        masks.append([(mask[x // 8] >> (7 - x % 8)) & 1 == 1 for x in range(width)])
    return entry, header, palette, rows, masks


def outside_disc(x, y, cx, cy, radius):
    """True for a pixel lying wholly outside the disc."""
    return math.hypot(x + 0.5 - cx, y + 0.5 - cy) > radius + 0.75


class BallPictureTest(unittest.TestCase):
    def test_bmp_is_80_by_74_uncompressed_24_bit(self):
        data = read('ball.bmp')
        self.assertEqual(len(data), 17814)
        self.assertEqual(struct.unpack('<2sIHHI', data[:14]), (b'BM', 17814, 0, 0, 54))
        self.assertEqual(struct.unpack('<IiiHHII', data[14:38]), (40, 80, 74, 1, 24, 0, 74 * 240))

    def test_ball_fills_the_picture_on_pure_black(self):
        data = read('ball.bmp')
        rows = [[tuple(data[54 + y * 240 + 3 * x:57 + y * 240 + 3 * x]) for x in range(80)]
                for y in reversed(range(74))]
        lit = [(x, y) for y in range(74) for x in range(80) if rows[y][x] != (0, 0, 0)]
        self.assertEqual((min(y for _, y in lit), max(y for _, y in lit)), (0, 73))
        self.assertLessEqual(min(x for x, _ in lit), 4)
        self.assertGreaterEqual(max(x for x, _ in lit), 75)
        for x, y in lit:
            self.assertFalse(outside_disc(x, y, 40, 37, 37), f'pixel {x},{y} is outside the ball')
        # Lit from the upper left: brighter there than lower right.
        self.assertGreater(sum(rows[24][26]), sum(rows[52][56]) + 100)

    def test_double_size_ball_is_rgb_on_black(self):
        width, height, colour_type, rows = png_pixels(read('ball@2x.png'))
        self.assertEqual((width, height, colour_type), (160, 148, 2))
        for y in range(height):
            for x in range(width):
                if outside_disc(x, y, 80, 74, 74):
                    self.assertEqual(rows[y][x], (0, 0, 0), f'pixel {x},{y}')


class IconAndCursorTest(unittest.TestCase):
    def assert_disc_mask(self, masks, colour_of_transparent, rows):
        for y in range(32):
            for x in range(32):
                if outside_disc(x, y, 16, 16, 16):
                    self.assertTrue(masks[y][x], f'pixel {x},{y} should be transparent')
                if masks[y][x]:
                    self.assertEqual(rows[y][x], colour_of_transparent, f'pixel {x},{y} must be black under the mask')
        self.assertFalse(masks[16][16])

    def test_ball_icon_is_32_px_24_bit_with_mask(self):
        entry, header, _, rows, masks = icon_file(read('ball.ico'), kind=1)
        self.assertEqual(entry[:6], (32, 32, 0, 0, 1, 24))
        self.assertEqual(header[:6], (40, 32, 64, 1, 24, 0))
        self.assert_disc_mask(masks, (0, 0, 0), rows)

    def test_close_icon_is_32_px_256_colours_red_with_white_x(self):
        entry, header, palette, rows, masks = icon_file(read('close.ico'), kind=1)
        self.assertEqual(entry[:6], (32, 32, 0, 0, 1, 8))
        self.assertEqual(header[:6], (40, 32, 64, 1, 8, 0))
        self.assertEqual(len(palette), 256)
        self.assert_disc_mask(masks, 0, rows)
        self.assertEqual(palette[0], (0, 0, 0))
        red, white = palette[rows[4][16]], palette[rows[16][16]]
        self.assertTrue(red[0] > 150 and red[1] < 80, red)
        self.assertTrue(min(white) > 230, white)

    def test_hand_cursor_is_1_bit_with_black_fingertip_hot_spot(self):
        entry, header, palette, rows, masks = icon_file(read('hand.cur'), kind=2)
        self.assertEqual(entry[:6], (32, 32, 2, 0, 5, 0))
        self.assertEqual(header[:6], (40, 32, 64, 1, 1, 0))
        self.assertEqual(palette, [(0, 0, 0), (255, 255, 255)])
        self.assertFalse(masks[0][5])
        self.assertEqual(rows[0][5], 0)
        shown = [rows[y][x] for y in range(32) for x in range(32) if not masks[y][x]]
        self.assertTrue(0 in shown and 1 in shown, 'the hand needs a black outline and a white fill')
        hidden = [rows[y][x] for y in range(32) for x in range(32) if masks[y][x]]
        self.assertNotIn(1, hidden, 'a white pixel under the mask would invert the screen')


class DesktopIconTest(unittest.TestCase):
    def test_pngs_are_rgba_and_transparent_outside(self):
        # The web app's icons are palette images with transparency, to stay small.
        names = ([(f'icons/zorbel-{n}.png', n, 6) for n in (16, 32, 48, 64, 128, 256)] + [('close@2x.png', 64, 6)]
                 + [(f'icons/zorbel-{n}.png', n, 3) for n in (192, 512)])
        for name, size, kind in names:
            with self.subTest(name):
                width, height, colour_type, rows = png_pixels(read(name))
                self.assertEqual((width, height, colour_type), (size, size, kind))
                self.assertEqual(rows[0][0][3], 0)
                self.assertEqual(rows[size // 2][size // 2][3], 255)

    def test_svg_is_a_256_px_drawing(self):
        root = ElementTree.fromstring(read('icons/zorbel.svg'))
        self.assertEqual(root.get('viewBox'), '0 0 256 256')
        self.assertIsNotNone(root.find('{http://www.w3.org/2000/svg}circle'))


class SoundTest(unittest.TestCase):
    def chunks(self, data):
        self.assertEqual(data[:4] + data[8:12], b'RIFFWAVE')
        self.assertEqual(struct.unpack('<I', data[4:8])[0], len(data) - 8)
        pos, found = 12, []
        while pos < len(data):
            kind, size = struct.unpack('<4sI', data[pos:pos + 8])
            found.append((kind, data[pos + 8:pos + 8 + size]))
            pos += 8 + size + size % 2
        self.assertEqual(pos, len(data))
        return found

    def test_layout_and_sample_counts(self):
        fmt = struct.pack('<HHIIHH', 1, 1, 11025, 11025, 1, 8)
        bounce = self.chunks(read('bounce.wav'))
        self.assertEqual([(k, len(d)) for k, d in bounce[:2]], [(b'fmt ', 16), (b'data', 1086)])
        self.assertEqual(bounce[0][1], fmt)
        self.assertEqual(bounce[2][0], b'LIST')
        self.assertTrue(bounce[2][1].startswith(b'INFO') and b'INAM\x09\0\0\0rimbalzo\0' in bounce[2][1])
        self.assertEqual(len(bounce), 3)
        release = self.chunks(read('release.wav'))
        self.assertEqual(release, [(b'fmt ', fmt), (b'data', release[1][1])])
        self.assertEqual(len(release[1][1]), 3080)

    def test_sharp_attack_then_decay_to_silence(self):
        for name in ('bounce.wav', 'release.wav'):
            with self.subTest(name):
                samples = self.chunks(read(name))[1][1]
                deviation = [abs(s - 128) for s in samples]
                self.assertGreater(max(deviation[:22]), 60, 'no loud onset in the first 2 ms')
                self.assertEqual(samples[-1], 128)
                self.assertLessEqual(max(deviation[-len(samples) // 20:]), 2)


class GeneratorTest(unittest.TestCase):
    def test_committed_assets_are_what_the_generator_makes(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, GENERATOR, '--out', out], check=True)
            made = sorted(os.path.relpath(os.path.join(d, f), out) for d, _, fs in os.walk(out) for f in fs)
            # How each platform embeds them (the Windows resource script and
            # its ids, the browser's compiled-in files) is written by hand.
            committed = sorted(os.path.relpath(os.path.join(d, f), ASSETS) for d, _, fs in os.walk(ASSETS)
                               for f in fs if f != 'CMakeLists.txt' and not f.endswith(('.in', '.h'))
                               and os.path.relpath(d, ASSETS) != 'web')
            self.assertEqual(made, committed)
            for name in made:
                with self.subTest(name):
                    if name.endswith('.png'):
                        # Another zlib may pack the same pixels differently.
                        self.assertEqual(png_pixels(read(name, out)), png_pixels(read(name)))
                    else:
                        self.assertEqual(read(name, out), read(name), 'run tools/make_assets.py')


if __name__ == '__main__':
    unittest.main()
