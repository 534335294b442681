"""The file formats Zorbel's pictures and sounds are stored in, written
byte for byte the same on every run: BMP, ICO and CUR (with the Windows
resource script's raw icon pieces), PNG and WAV."""

import struct
import zlib


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


class IconImage:
    """One image of an icon or cursor file with the fields of its directory
    entry; a cursor's entry holds the hot spot where an icon's holds its
    planes and depth."""

    def __init__(self, data, width, height, colour_count, planes_or_hotx, bpp_or_hoty):
        self.data = data
        self.fields = (width % 256, height % 256, colour_count, 0, planes_or_hotx, bpp_or_hoty, len(data))


def icon_file(kind, image):
    """Wraps one image into an icon (kind 1) or cursor (kind 2) file."""
    return struct.pack('<HHH', 0, kind, 1) + struct.pack('<BBBBHHII', *image.fields, 6 + 16) + image.data


def icon_group(image, image_id):
    """The icon directory as a resource (RT_GROUP_ICON): it points at its
    image by resource id instead of by file offset."""
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHIH', *image.fields, image_id)


def _dib_header(width, height, bpp, image_size):
    # The height counts the colour image and the mask stacked together.
    return struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bpp, 0, image_size, 0, 0, 0, 0)


def icon_image_24(pixels, opaque):
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
    dib = _dib_header(width, height, 24, len(colour) + len(mask)) + bytes(colour) + mask
    return IconImage(dib, width, height, 0, 1, 24)


def ico_8(indices, palette, opaque):
    height, width = len(indices), len(indices[0])
    stride = (width + 3) & ~3
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    colour = bytearray()
    for row in reversed(indices):
        colour += bytes(row) + bytes(stride - width)
    mask = _mask_rows(opaque)
    dib = _dib_header(width, height, 8, len(colour) + len(mask)) + table + bytes(colour) + mask
    return icon_file(1, IconImage(dib, width, height, 0, 1, 8))


def ico_png(png_file, size):
    """An icon holding a PNG image, as Windows reads icons past 32 bits deep."""
    return icon_file(1, IconImage(png_file, size, size, 0, 1, 32))


def cur_1(white, opaque, hotspot):
    height, width = len(white), len(white[0])
    table = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    colour = _bit_rows(white)
    mask = _mask_rows(opaque)
    dib = _dib_header(width, height, 1, len(colour) + len(mask)) + table + colour + mask
    return icon_file(2, IconImage(dib, width, height, 2, hotspot[0], hotspot[1]))


def _png_file(width, height, colour_type, raw, extra_chunks=()):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + b''.join(chunk(kind, data) for kind, data in extra_chunks)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def png(pixels, alpha):
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for p in row:
            raw += bytes(p)
    return _png_file(len(pixels[0]), len(pixels), 6 if alpha else 2, raw)


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
    return _png_file(len(pixels[0]), len(pixels), 3, raw,
                     ((b'PLTE', b''.join(bytes(p[:3]) for p in palette)),
                      (b'tRNS', bytes(p[3] for p in palette))))


def _riff_chunk(kind, data):
    pad = b'\0' if len(data) % 2 else b''
    return kind + struct.pack('<I', len(data)) + data + pad


def wav(samples, rate, info=()):
    """Mono unsigned 8-bit PCM, with an optional INFO list of (key, text)."""
    fmt = struct.pack('<HHIIHH', 1, 1, rate, rate, 1, 8)
    body = b'WAVE' + _riff_chunk(b'fmt ', fmt) + _riff_chunk(b'data', samples)
    if info:
        entries = b''.join(_riff_chunk(key, text.encode('ascii') + b'\0') for key, text in info)
        body += _riff_chunk(b'LIST', b'INFO' + entries)
    return b'RIFF' + struct.pack('<I', len(body)) + body
