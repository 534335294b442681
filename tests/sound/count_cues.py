#!/usr/bin/env python3
"""The program's sound cues heard in a recording of what the sound server
played, and whether they were heard as cue_player_driver asked for them.

    count_cues.py RECORDING [--bounce WAV] [--release WAV] [--details] [--judge DRIVER_OUT DRIVER_ERR]

RECORDING is raw s16le mono at 44100 Hz (tests/lib/pulse.sh); the cues are
those in assets/ unless named. Prints the cues in the order they started
("R B B"); with --details a line per cue, and with --judge that too and a
FAIL line per fault in the driver's startup drop, exiting 1 if there was any:

    B at_ms=350.4 played_ms=97.9 full_ms=98.0 match=0.998 end=full glitches=0

played_ms: how long the recording goes on being that cue; end: "full" (the
next started after its end), "cut" (the next replaced it) or "overlap" (it
sounded on under the next); glitches: moments of up to 10 ms where the
recording was not the cue but the cue then carried on in place.

A cut cue leaves no silence before the next, so cues are told apart by their
waveforms; the first 2 ms of every match are left out, as the server's
resampler starts each stream with a short transient.
"""

import array
import argparse
import math
import os
import re
import sys
import wave
from itertools import accumulate
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
    prefix = [0.0, *accumulate(s * s for s in coarse)]
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
    """A dict per cue found: letter, at, played, full (ms), match, end, glitches."""
    cues = []
    # The level the server plays every cue at (a mono cue comes back from a
    # stereo sink's monitor some 3 dB up), from the first cue's start: taken
    # at the file's level, a cut cue's successor would leave a residue that
    # the old cue's tail could explain by chance.
    level = head_match(recording, found[0][2], found[0][0], found[0][2].window)[1] if found else 1.0
    ms = 1000 / RATE
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
        cues.append(dict(letter=cue.letter, at=round(start * ms, 1), played=round(played * ms, 1),
                         full=round(full * ms, 1), match=match, end=end, glitches=glitches))
    return cues


def judge(cues, driver_out, driver_err):
    """The faults in how the startup drop the driver played was heard.

    A busy machine shows in what the driver measures: how long its threads
    and the sound server's waited for a CPU around each cue (rq_wait_ms). A
    cue may be that much later than a player on a quiet machine starts it,
    and one that the player's thread could not take before the next replaced
    it, or only past its moment, may go unheard; nothing else may."""
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    # A call's own time is what it took less what the caller waited for a CPU.
    plays = [dict(id=int(m[1]), at=float(m[2]), took=float(m[3]) - float(m[6]), recorded=int(m[4]) * 1000 / RATE,
                  waited=float(m[5]))
             for m in re.finditer(r'^play (\d+) at ([\d.]+) ms took ([\d.]+) ms rec_sample (-?\d+) rq_wait_ms ([\d.]+) '
                                  r'cpu_wait_ms ([\d.]+)$', driver_out, re.M)]
    after = re.search(r'^after rq_wait_ms ([\d.]+)$', driver_out, re.M)
    check(len(plays) == 11 and after, f'the driver played {len(plays)} cues, not 11, or did not report its end')
    check(driver_err.strip() == '', f'the player complained: {driver_err.strip()}')
    for play in plays:
        check(play['took'] < 50, f'play {play["id"]} at {play["at"]} ms held the caller {play["took"]:.3f} ms')
    if failures:
        plays = []
    # How long the machine kept the cue's threads waiting from its ask to the next.
    for play, later in zip(plays, plays[1:] + [dict(waited=float(after[1]) if after else 0, at=float('inf'))]):
        play['busy'] = later['waited'] - play['waited']
        play['gap'] = later['at'] - play['at']
        if play['busy'] > 5:
            print(f'note: the machine kept the sound waiting {play["busy"]:.1f} ms for a CPU after the cue asked at {play["at"]} ms')

    # Each cue heard belongs to the first cue asked for that it may be: the
    # recorder and the server work in 10 ms blocks, so a start is known to within
    # about that, measured from how far the recording had got when the cue was
    # asked for. The first cue waits for the stream, which a waking sink holds up.
    heard = []
    for i, play in enumerate(plays):
        limit = (300 if i == 0 else 60) + play['busy']
        if len(heard) < len(cues) and cues[len(heard)]['at'] - play['recorded'] <= limit:
            play['delay'] = cues[len(heard)]['at'] - play['recorded']
            check(play['delay'] >= -20, f'cue {i} started {-play["delay"]:.1f} ms before it was asked for')
            heard.append((play, cues[len(heard)]))
        else:
            check(play['busy'] >= min(play['gap'], 100) - 10, f'cue {i}, asked for at {play["at"]} ms, was not heard')
    check(len(heard) == len(cues), f'{len(cues) - len(heard)} cue(s) heard that were not asked for, or late')
    check(' '.join(cue['letter'] for cue in cues) == ' '.join('R' if p['id'] == 103 else 'B' for p, _ in heard),
          f'heard "{" ".join(cue["letter"] for cue in cues)}", not the cues asked for, in order')

    for i, (play, cue) in enumerate(heard):
        asked = between = float('inf')
        lost = 0
        if i + 1 < len(heard):
            later, next_cue = heard[i + 1]
            slack = play['busy'] + later['busy']
            asked = later['at'] - play['at']
            between = next_cue['at'] - cue['at']
            # A cue held back behind an uncut one would be a whole cue, 98 ms or
            # more, late. A late first cue has that much less time before the next.
            if i > 0:
                check(abs(between - asked) <= 50 + slack, f'cues {i} and {i + 1} were asked {asked:.1f} ms apart, heard {between:.1f}')
                # The player may start a cue late, never early, and a late cue
                # still sounds whole: a cue that breaks off, with the next heard
                # early, is a stretch the recording lost between the two (the
                # server's graph or the recorder missed a cycle).
                lost = asked - between
                if lost > 7:
                    print(f'note: the recording lost about {lost:.1f} ms between cues {i} and {i + 1}')
                # A cue the busy machine held back cuts the one before later.
                if slack > 5:
                    asked = between
            else:
                asked = between
            if asked < cue['full'] - 5:
                # PipeWire starts a cue on its next 5.3 ms cycle. Past its first
                # 65 ms the bounce cue is some 25 dB below its start, too quiet
                # under the next cue's loud start to tell for sure whether it
                # sounds on: only earlier cuts are judged.
                if asked < cue['full'] - 33:
                    check(cue['end'] == 'cut', f'cue {i} was not cut off by the next ({cue["end"]})')
                check(cue['played'] < cue['full'], f'cut cue {i} played {cue["played"]} of {cue["full"]} ms')
                check(abs(cue['played'] - asked) <= 15 + slack, f'cut cue {i} played {cue["played"]} ms, {asked:.1f} ms until the next')
                continue
        # A next cue that comes as this one ends cuts its last samples: it must
        # sound until then, which on a busy machine may be a few ms short of its
        # end. A server kept from a CPU misses cycles of its graph, and what it
        # plays then breaks off; with the server answering at once it never does.
        broken = cue['played'] < min(cue['full'], between) - 3 and lost <= 7
        if broken and cue['end'] == 'full' and play['busy'] > 10:
            print(f'note: cue {i} broke off after {cue["played"]} ms while the machine kept the sound waiting')
            broken = False
        check((cue['end'] == 'full' or asked < cue['full'] + 5) and not broken,
              f'cue {i} played {cue["played"]} of {cue["full"]} ms ({cue["end"]})')
    # The schedule asks for three cues sooner than the one before ends; a
    # driver held up past their moments may have asked for them later.
    close = sum(later['at'] - play['at'] < cue['full'] - 5 for (play, cue), (later, _) in zip(heard, heard[1:]))
    check(sum(cue['end'] == 'cut' for cue in cues) >= min(2, close), 'fewer than two cues were cut')
    for i, cue in enumerate(cues):
        if cue['glitches']:
            print(f'note: cue {i} played through {cue["glitches"]} glitch(es) of the server\'s graph')

    idle = re.search(r'^idle \d+ ms wakeups (\d+)', driver_out, re.M)
    check(idle is not None and int(idle[1]) == 0, f'the player woke the process while idle: {idle[0] if idle else "no report"}')

    return failures


def main():
    assets = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'assets')
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('recording')
    parser.add_argument('--bounce', default=os.path.join(assets, 'bounce.wav'))
    parser.add_argument('--release', default=os.path.join(assets, 'release.wav'))
    parser.add_argument('--details', action='store_true')
    parser.add_argument('--judge', nargs=2, metavar=('DRIVER_OUT', 'DRIVER_ERR'))
    args = parser.parse_args()
    with open(args.recording, 'rb') as f:
        recording = [float(v) for v in read_s16le(f.read())]
    found = find_cues(recording, [CueFile('R', args.release), CueFile('B', args.bounce)])
    print(' '.join(cue.letter for _, _, cue in found))
    if not (args.details or args.judge):
        return 0
    cues = describe(recording, found)
    for cue in cues:
        print(f'{cue["letter"]} at_ms={cue["at"]:.1f} played_ms={cue["played"]:.1f} full_ms={cue["full"]:.1f} '
              f'match={cue["match"]:.3f} end={cue["end"]} glitches={cue["glitches"]}')
    failures = judge(cues, *(open(path).read() for path in args.judge)) if args.judge else []
    for failure in failures:
        print('FAIL:', failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
