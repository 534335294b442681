#!/usr/bin/env python3
"""The committed assets: what Windows and the sound loader rely on in them
beyond what the Qt loaders check, and that they are what the generator
makes today."""

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
PNG = b'\x89PNG\r\n\x1a\n'


def read(name, folder=ASSETS):
    with open(os.path.join(folder, name), 'rb') as f:
        return f.read()


def chunks(data, riff=True):
    """[(kind, data)] of the chunks of a RIFF file or a PNG, which must fill it exactly."""
    pos, found = 12 if riff else 8, []
    while pos < len(data):
        kind, size = struct.unpack_from('<4sI', data, pos) if riff else struct.unpack_from('>I4s', data, pos)[::-1]
        found.append((kind, data[pos + 8:pos + 8 + size]))
        pos += 8 + size + (size % 2 if riff else 4)
    assert pos == len(data), 'the last chunk runs past the end'
    return found


def masked_colours(data):
    """The colours under the mask of an icon or cursor file's one image, whose
    directory entry and image header must agree with each other and the file."""
    reserved, kind, count, width, height, _, _, planes_or_x, bpp_or_y, size, offset = struct.unpack_from(
        '<HHHBBBBHHII', data)
    _, dib_width, stacked, planes, bpp, compression = struct.unpack_from('<IiiHHI', data, 22)
    assert (reserved, count, size, offset) == (0, 1, len(data) - 22, 22) and kind in (1, 2)
    assert (dib_width, stacked, planes, compression) == (width, 2 * height, 1, 0)
    assert kind == 2 or (planes_or_x, bpp_or_y) == (planes, bpp), 'entry and image disagree on the depth'
    colours = 62 + (4 << bpp if bpp <= 8 else 0)
    stride, mask_stride = (width * bpp + 31) // 32 * 4, (width + 31) // 32 * 4
    masks = colours + stride * height
    assert len(data) == masks + mask_stride * height, 'image or mask size is wrong'
    hidden = set()
    for x, y in ((x, y) for y in range(height) for x in range(width)):
        if data[masks + y * mask_stride + x // 8] >> (7 - x % 8) & 1:
            at = colours + y * stride + x * bpp // 8
            if bpp <= 8:
                at = 62 + 4 * (data[at] >> (8 - bpp - x * bpp % 8) & ((1 << bpp) - 1))  # its palette entry
            hidden.add(data[at:at + 3])
    return hidden


class FormatTest(unittest.TestCase):
    def test_masks_hide_only_black_which_windows_xors_onto_the_screen(self):
        for name in ('ball.ico', 'close.ico', 'hand.cur'):
            self.assertEqual(masked_colours(read(name)), {bytes(3)}, name)

    def test_windows_shapes_hold_the_same_pictures(self):
        ico, close = read('ball.ico'), read('win32/close@2x.ico')
        self.assertEqual(read('win32/ball-icon-group.bin'), ico[:18] + struct.pack('<H', 30001))
        self.assertEqual(struct.unpack_from('<HHHBBBBHHII', close), (0, 1, 1, 64, 64, 0, 0, 1, 32, len(close) - 22, 22))
        self.assertEqual(close[22:], read('close@2x.png'))

    def test_desktop_and_web_icons(self):
        self.assertEqual(ElementTree.fromstring(read('icons/zorbel.svg')).get('viewBox'), '0 0 256 256')
        # The web app's icons are palette images, to keep the site small.
        self.assertEqual([read(f'icons/zorbel-{n}.png')[25] for n in (192, 512)], [3, 3])

    def test_sounds_start_sharply_and_fade_to_silence(self):
        for name in ('bounce.wav', 'release.wav'):
            data = read(name)
            self.assertEqual(data[:12], b'RIFF' + struct.pack('<I', len(data) - 8) + b'WAVE', name)
            self.assertEqual(dict(chunks(data))[b'fmt '], struct.pack('<HHIIHH', 1, 1, 11025, 11025, 1, 8), name)
            samples = dict(chunks(data))[b'data']
            deviation = [abs(s - 128) for s in samples]
            self.assertGreater(max(deviation[:22]), 60, f'{name}: no loud onset in the first 2 ms')
            self.assertEqual(samples[-1], 128, name)
            self.assertLessEqual(max(deviation[-len(samples) // 20:]), 2, name)


class GeneratorTest(unittest.TestCase):
    def test_committed_assets_are_what_the_generator_makes(self):
        def content(data):
            # Another zlib may pack the same pixels differently: PNGs, also
            # inside an icon, compare by their chunks with the pixels unpacked.
            at = data.find(PNG)
            return data if at < 0 else [(k, zlib.decompress(d) if k == b'IDAT' else d)
                                        for k, d in chunks(data[at:], riff=False)]

        with tempfile.TemporaryDirectory() as out:
            # Seconds on an idle machine; the limit is for a busy one.
            subprocess.run([sys.executable, os.path.join(ROOT, 'tools', 'make_assets.py'), '--out', out],
                           check=True, timeout=240)
            made = sorted(os.path.relpath(os.path.join(d, f), out) for d, _, fs in os.walk(out) for f in fs)
            # How each platform embeds them (the Windows resource script and
            # its ids, the browser's compiled-in files) is written by hand.
            committed = sorted(os.path.relpath(os.path.join(d, f), ASSETS) for d, _, fs in os.walk(ASSETS)
                               for f in fs if not f.endswith(('CMakeLists.txt', '.in', '.h'))
                               and os.path.relpath(d, ASSETS) != 'web')
            self.assertEqual(made, committed)
            for name in made:
                self.assertEqual(content(read(name, out)), content(read(name)), f'{name}: run tools/make_assets.py')


if __name__ == '__main__':
    unittest.main()
