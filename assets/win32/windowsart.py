#!/usr/bin/env python3
"""Derives from assets/ the pictures the Windows resource script needs in
other shapes. Usage: windowsart.py ASSETS_DIR OUT_DIR

- ball-icon.bin, ball-icon-group.bin: the ball icon split into its one image
  and its icon directory, so the script can give the image the id 30001
  (the resource compiler numbers the images of an ICON statement itself);
- ball@2x.bmp: the double-size ball as a 24-bit bitmap, like ball.bmp;
- close@2x.ico: the double-size close picture as an icon holding the PNG.

Standard library only; the same input always gives the same bytes.
"""

import os
import struct
import sys
import zlib

BALL_ICON_IMAGE_ID = 30001


def split_icon(ico, image_id):
    """The image of a one-image icon file, and the RT_GROUP_ICON directory
    pointing at it by id."""
    reserved, kind, count = struct.unpack_from('<HHH', ico)
    if (reserved, kind, count) != (0, 1, 1):
        raise SystemExit('expected an icon file with one image')
    width, height, colours, _, planes, bpp, size, offset = struct.unpack_from('<BBBBHHII', ico, 6)
    image = ico[offset:offset + size]
    if len(image) != size:
        raise SystemExit('icon image runs past the end of the file')
    group = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHIH', width, height, colours, 0, planes, bpp, size, image_id)
    return image, group


def png_rgb_rows(png):
    """Rows of (r, g, b) bytes of an 8-bit RGB, non-interlaced PNG."""
    if png[:8] != b'\x89PNG\r\n\x1a\n':
        raise SystemExit('not a PNG file')
    pos, idat, header = 8, b'', None
    while pos < len(png):
        length, kind = struct.unpack_from('>I4s', png, pos)
        data = png[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', data)
        elif kind == b'IDAT':
            idat += data
        pos += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if (depth, colour_type, interlace) != (8, 2, 0):
        raise SystemExit('expected an 8-bit RGB PNG without interlacing')
    raw, stride, rows, previous = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = row[x - 3] if x >= 3 else 0
            up, up_left = previous[x], previous[x - 3] if x >= 3 else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                row[x] = (row[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 0xFF
        rows.append(bytes(row))
        previous = row
    return width, height, rows


def bmp_24(width, height, rows):
    stride = (width * 3 + 3) & ~3
    pixels = b''
    for row in reversed(rows):  # bottom-up
        bgr = bytearray(row)
        bgr[0::3], bgr[2::3] = row[2::3], row[0::3]
        pixels += bytes(bgr) + b'\0' * (stride - width * 3)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


def png_icon(png):
    width, height = struct.unpack_from('>II', png, 16)
    entry = struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(png), 22)
    return struct.pack('<HHH', 0, 1, 1) + entry + png


def main():
    assets, out = sys.argv[1:3]
    os.makedirs(out, exist_ok=True)

    def read(name):
        with open(os.path.join(assets, name), 'rb') as f:
            return f.read()

    image, group = split_icon(read('ball.ico'), BALL_ICON_IMAGE_ID)
    files = {
        'ball-icon.bin': image,
        'ball-icon-group.bin': group,
        'ball@2x.bmp': bmp_24(*png_rgb_rows(read('ball@2x.png'))),
        'close@2x.ico': png_icon(read('close@2x.png')),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
