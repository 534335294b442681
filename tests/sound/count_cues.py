#!/usr/bin/env python3
"""Finds the sound cues in a recording of what the sound server played.

    count_cues.py RECORDING --bounce BOUNCE.wav --release RELEASE.wav [--details]

RECORDING is raw s16le mono at 44100 Hz (tests/lib/pulse.sh). Prints the cues
in the order they started ("R B B"), and with --details a line per cue:

    B at_ms=350.4 played_ms=97.9 full_ms=98.0 match=0.998 end=full glitches=0

played_ms: how long the recording goes on being that cue; end: "full" (the
next started after its end), "cut" (the next replaced it) or "overlap" (it
sounded on under the next); glitches: moments of up to 10 ms where the
recording was not the cue but the cue then carried on in place.

A cut cue leaves no silence before the next, so cues are told apart by their
waveforms; the first 2 ms of every match are left out, as the server's
resampler starts each stream with a short transient.
"""

import argparse
import array
import math
import sys
import wave
from operator import mul

RATE = 44100
DECIMATION = 4  # the coarse search runs at 11025 Hz
LOUD = 1000  # about -30 dBFS
BLOCK_MS = 2  # how finely the played length is measured
MAX_BLOCK_ERROR = 0.5  # a block more different from the cue than this is not the cue
MATCH_WINDOW_MS = 30  # how much of a cue's start must match
SHORTEST_WINDOW_MS = 10  # when the next cue starts sooner than MATCH_WINDOW_MS
COARSE_THRESHOLD = 0.5
ONSET_THRESHOLD = 0.85
GAIN_RANGE = (0.5, 2.0)  # the server plays cues at full volume
MIN_GAP_MS = 8  # cues start on 10 ms ticks, so real starts are never closer
# PipeWire's graph now and then garbles 4-6 ms of whatever is playing, with
# the sound carrying on in place after it: a glitch. A cue that goes missing
# and comes back later (a stream that ran dry) or never is not one.
MAX_GLITCH_MS = 10
GLITCH_RECOVERY_MS = 20


def read_wav(path):
    """Returns (rate, mono samples scaled to 16 bits) of an 8- or 16-bit PCM WAVE file."""
    with wave.open(path, 'rb') as f:
        channels, width, rate = f.getnchannels(), f.getsampwidth(), f.getframerate()
        body = f.readframes(f.getnframes())
    values = [(b - 128) * 256 for b in body] if width == 1 else read_s16le(body)
    return rate, [sum(values[i:i + channels]) / channels for i in range(0, len(values), channels)]


def read_s16le(raw):
    values = array.array('h', raw[:len(raw) // 2 * 2])
    if sys.byteorder == 'big':
        values.byteswap()
    return values


def read_recording(path):
    with open(path, 'rb') as f:
        return [float(v) for v in read_s16le(f.read())]


def resample(samples, source_rate, target_rate, half_width=8):
    """Windowed-sinc interpolation, close to what the server does to a cue."""
    ratio = source_rate / target_rate
    cutoff = min(1.0, 1.0 / ratio)
    out = []
    for n in range(int(len(samples) / ratio)):
        t = n * ratio
        centre = int(math.floor(t))
        total = 0.0
        for k in range(centre - half_width + 1, centre + half_width + 1):
            if 0 <= k < len(samples):
                x = (t - k) * cutoff
                weight = 1.0 if x == 0 else math.sin(math.pi * x) / (math.pi * x)
                window = 0.42 + 0.5 * math.cos(math.pi * (t - k) / half_width) \
                    + 0.08 * math.cos(2 * math.pi * (t - k) / half_width)
                total += samples[k] * weight * window * cutoff
        out.append(total)
    return out


def decimate(samples):
    return [sum(samples[i:i + DECIMATION]) / DECIMATION
            for i in range(0, len(samples) - DECIMATION + 1, DECIMATION)]


def energy_prefix(samples):
    prefix = [0.0]
    for s in samples:
        prefix.append(prefix[-1] + s * s)
    return prefix


def normalised_match(segment, template):
    """Correlation of two equally long windows, and the gain that maps one onto the other."""
    dot = sum(map(mul, segment, template))
    seg_energy = sum(map(mul, segment, segment))
    tpl_energy = sum(map(mul, template, template))
    if seg_energy <= 0 or tpl_energy <= 0:
        return 0.0, 0.0
    return dot / math.sqrt(seg_energy * tpl_energy), dot / tpl_energy


def window_of(samples, start, length):
    """samples[start:start + length], padded with silence past either end."""
    part = samples[max(0, start):max(0, start + length)]
    if start < 0:
        part = [0.0] * min(length, -start) + part
    return part + [0.0] * (length - len(part))


class CueFile:
    def __init__(self, letter, path):
        self.letter = letter
        rate, samples = read_wav(path)
        self.samples = resample(samples, rate, RATE) if rate != RATE else samples
        self.window = min(len(self.samples), RATE * MATCH_WINDOW_MS // 1000)
        self.head = self.samples[:self.window]
        # One coarse template for each way the cue can fall on the coarse grid,
        # or cues rich in high notes would match poorly half the time.
        # Short, so that a cue cut off soon after its start still stands out.
        skip = RATE * BLOCK_MS // 1000
        coarse = self.samples[skip:skip + RATE * SHORTEST_WINDOW_MS // 1000 + DECIMATION]
        self.coarse_heads = [decimate(coarse[phase:]) for phase in range(DECIMATION)]


def coarse_candidates(coarse, prefix, cue):
    """Positions (at RATE) where the recording looks like the start of cue."""
    width = len(cue.coarse_heads[-1])
    energies = [sum(map(mul, head[:width], head[:width])) for head in cue.coarse_heads]
    scores = {}
    for t in range(0, len(coarse) - width + 1):
        energy = prefix[t + width] - prefix[t]
        # Far quieter than the cue: cannot be its start, and skipping it keeps
        # the search fast over the silence between cues.
        if energy < 0.1 * energies[0]:
            continue
        segment = coarse[t:t + width]
        best = max((sum(map(mul, segment, head)) / math.sqrt(energy * head_energy), phase)
                   for phase, (head, head_energy) in enumerate(zip(cue.coarse_heads, energies)))
        if best[0] >= COARSE_THRESHOLD:
            scores[t] = best
    # Every local peak is kept, not just the best in a cue's length: a cue that
    # repeats itself matches its own start again a period later, and only the
    # order of the matches tells which one is the start.
    reach = max(1, RATE // DECIMATION // 1000)
    peaks = []
    for t, (score, phase) in scores.items():
        if all(scores.get(u, (-1.0,))[0] <= score for u in range(t - reach, t + reach + 1) if u != t):
            peaks.append(t * DECIMATION - phase - RATE * BLOCK_MS // 1000)
    return peaks


def head_match(recording, cue, start, length):
    """How well the recording from start matches the cue's first length samples."""
    skip = RATE * BLOCK_MS // 1000
    return normalised_match(window_of(recording, start + skip, length - skip), cue.samples[skip:length])


def refine(recording, cue, around):
    best = None
    for p in range(max(0, around - DECIMATION), around + DECIMATION + 1):
        score, gain = head_match(recording, cue, p, cue.window)
        if best is None or score > best[1]:
            best = [p, score, gain, cue, cue.window]
    return best


def find_cues(recording, cues):
    coarse = decimate(recording)
    prefix = energy_prefix(coarse)
    # A recording that opens in the middle of a cue has a candidate before
    # its first sample, with nothing to refine.
    candidates = sorted((c for c in (refine(recording, cue, around)
                                     for cue in cues for around in coarse_candidates(coarse, prefix, cue))
                         if c is not None),
                        key=lambda c: c[0])

    # A match must not reach into the next cue: a cue cut sooner than the
    # match window is matched only up to the next clear start.
    clear = [c[0] for c in candidates if c[1] >= ONSET_THRESHOLD]
    for c in candidates:
        if c[1] >= ONSET_THRESHOLD:
            continue
        later = [q for q in clear if q - c[0] >= RATE * MIN_GAP_MS // 1000]
        if later and later[0] - c[0] < c[4]:
            c[4] = max(later[0] - c[0], RATE * SHORTEST_WINDOW_MS // 1000)
            c[1], c[2] = head_match(recording, c[3], c[0], c[4])
    candidates = [c for c in candidates if c[1] >= ONSET_THRESHOLD and GAIN_RANGE[0] <= c[2] <= GAIN_RANGE[1]]

    # Neighbouring positions, and both cue files, can match one start; keep the best.
    merged = []
    for c in candidates:
        if merged and c[0] - merged[-1][0] <= RATE // 1000:
            if c[1] > merged[-1][1]:
                merged[-1] = c
        else:
            merged.append(c)

    found = []
    for p, score, _, cue, length in merged:
        if found:
            start, best, playing = found[-1]
            if p - start < RATE * MIN_GAP_MS // 1000:
                # A window that starts a little early, over a quiet lead-in,
                # matches too; of matches this close only the best is a start.
                if score > best:
                    found[-1] = (p, score, cue)
                continue
            if p < start + len(playing.samples):
                # The cue already playing may match a cue's start again later
                # on; it is a new cue only if it fits better than carrying on.
                skip = RATE * BLOCK_MS // 1000
                carrying_on = window_of(playing.samples, p - start + skip, length - skip)
                carried, _ = normalised_match(window_of(recording, p + skip, length - skip), carrying_on)
                if carried >= score - 0.01:
                    continue
        found.append((p, score, cue))
    return found


def played_length(recording, cue, start, limit):
    """Samples from start for which the recording is the cue, up to limit,
    and the glitches it played through."""
    step = RATE * BLOCK_MS // 1000
    # Blocks where the cue itself is about this quiet need not match: losing
    # them could not be heard.
    floor = step * (LOUD / 4) ** 2

    def matches(at):
        end = min(at + step, limit)
        heard = window_of(recording, at, end - at)
        meant = window_of(cue.samples, at - start, end - at)
        error = sum((h - m) ** 2 for h, m in zip(heard, meant))
        return error <= MAX_BLOCK_ERROR * (sum(m * m for m in meant) + floor)

    blocks = list(range(start + step, limit, step))
    glitches = 0
    i = 0
    while i < len(blocks):
        if matches(blocks[i]):
            i += 1
            continue
        bad = i
        while bad < len(blocks) and bad - i < MAX_GLITCH_MS // BLOCK_MS and not matches(blocks[bad]):
            bad += 1
        recovery = blocks[bad:bad + GLITCH_RECOVERY_MS // BLOCK_MS]
        if bad == i or not recovery or not all(matches(at) for at in recovery):
            return blocks[i] - start, glitches
        glitches += 1
        i = bad + len(recovery)
    return limit - start, glitches


def describe(recording, found):
    lines = []
    # The level the server plays every cue at (a mono cue comes back from a
    # stereo sink's monitor some 3 dB up), from the first cue's start: taken
    # at the file's level, a cut cue's successor would leave a residue that
    # the old cue's tail could explain by chance.
    level = head_match(recording, found[0][2], found[0][0], found[0][2].window)[1] if found else 1.0
    for i, (start, _, cue) in enumerate(found):
        next_start = found[i + 1][0] if i + 1 < len(found) else len(recording)
        full = len(cue.samples)
        played, glitches = played_length(recording, cue, start, min(next_start, start + full))
        end = 'full'
        if next_start < start + full:
            # The next cue began while this one had samples to come: it was
            # cut if the recording is the next cue alone, and overlapped if it
            # is better explained as both cues mixed.
            next_cue = found[i + 1][2]
            after_next = found[i + 2][0] if i + 2 < len(found) else len(recording)
            skip = RATE * BLOCK_MS // 1000
            length = max(1, min(next_cue.window, after_next - next_start) - skip)
            heard = window_of(recording, next_start + skip, length)
            alone = window_of(next_cue.samples, skip, length)
            rest = window_of(cue.samples, next_start - start + skip, length)
            cut_error = sum((h - level * a) ** 2 for h, a in zip(heard, alone))
            mixed_error = sum((h - level * (a + r)) ** 2 for h, a, r in zip(heard, alone, rest))
            end = 'cut' if cut_error <= mixed_error else 'overlap'
        match, _ = head_match(recording, cue, start, max(played, RATE * SHORTEST_WINDOW_MS // 1000))
        lines.append(f'{cue.letter} at_ms={1000 * start / RATE:.1f} played_ms={1000 * played / RATE:.1f} '
                     f'full_ms={1000 * full / RATE:.1f} match={match:.3f} end={end} glitches={glitches}')
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('recording')
    parser.add_argument('--bounce', required=True, help='the bounce cue as a WAVE file')
    parser.add_argument('--release', required=True, help='the release cue as a WAVE file')
    parser.add_argument('--details', action='store_true', help='one line per cue after the sequence')
    args = parser.parse_args()

    recording = read_recording(args.recording)
    found = find_cues(recording, [CueFile('R', args.release), CueFile('B', args.bounce)])
    print(' '.join(cue.letter for _, _, cue in found))
    if args.details:
        for line in describe(recording, found):
            print(line)


if __name__ == '__main__':
    main()
