"""Zorbel's two sounds, synthesised sample by sample: the same bytes on
every run."""

import math

from .encoders import wav

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


def make_sounds():
    return {
        'bounce.wav': wav(synth_bounce(), SAMPLE_RATE,
                          info=((b'INAM', 'rimbalzo'), (b'ISFT', 'make_assets.py'))),
        'release.wav': wav(synth_release(), SAMPLE_RATE),
    }
