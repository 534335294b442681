#!/usr/bin/env python3
"""The program's sound cues heard in a recording of what the sound server
played, and whether they were heard as cue_player_driver asked for them.

RECORDING is raw s16le mono at 44100 Hz (tests/lib/pulse.sh). Prints the cues
in the order they started ("R B B"); with --details a line per cue, and with
--judge that too and a FAIL line per fault in the driver's startup drop:

    B at_ms=350.4 played_ms=97.9 full_ms=98.0 match=0.998 end=full glitches=0

played_ms: how long the recording goes on being the cue; end: "full", "cut"
(the next replaced it) or "overlap" (it sounded on under the next); glitches:
up to 10 ms not the cue, with the cue then carrying on in place. Cut cues
leave no silence between them, so cues are told apart by their waveforms,
less their first 2 ms: the server's resampler starts a stream with a transient.
"""

import argparse
import math
import os
import re
import struct
import sys
import wave
from itertools import accumulate
from operator import mul

RATE = 44100
DECIMATION = 4  # the coarse search runs at 11025 Hz
SKIP = RATE * 2 // 1000  # the transient left out of every match; also the block the played length is measured in
WINDOW = RATE * 30 // 1000  # how much of a cue's start must match
SHORTEST = RATE * 10 // 1000  # when the next cue starts sooner than that
MIN_GAP = RATE * 8 // 1000  # cues start on 10 ms ticks, so real starts are never closer
ONSET_THRESHOLD = 0.85
# PipeWire's graph now and then garbles 4-6 ms of whatever plays, the sound
# carrying on in place after it: a glitch. A cue that goes missing and comes
# back later (a stream that ran dry) or never is not one.
MAX_GLITCH_BLOCKS, RECOVERY_BLOCKS = 5, 10


def s16le(raw):
    return struct.unpack(f'<{len(raw) // 2}h', raw[:len(raw) // 2 * 2])


def read_cue(path):
    """Mono samples at RATE, scaled to 16 bits, of an 8- or 16-bit PCM WAVE file."""
    with wave.open(path, 'rb') as f:
        channels, width, rate = f.getnchannels(), f.getsampwidth(), f.getframerate()
        body = f.readframes(f.getnframes())
    values = [(b - 128) * 256 for b in body] if width == 1 else s16le(body)
    samples = [sum(values[i:i + channels]) / channels for i in range(0, len(values), channels)]
    return samples if rate == RATE else resample(samples, rate / RATE)


def resample(samples, ratio, half_width=8):
    """Windowed-sinc interpolation, close to what the server does to a cue."""
    cutoff = min(1.0, 1.0 / ratio)
    out = []
    for n in range(int(len(samples) / ratio)):
        t = n * ratio
        total = 0.0
        for k in range(max(0, int(math.floor(t)) - half_width + 1), min(len(samples), int(math.floor(t)) + half_width + 1)):
            x = (t - k) * cutoff
            weight = 1.0 if x == 0 else math.sin(math.pi * x) / (math.pi * x)
            window = 0.42 + 0.5 * math.cos(math.pi * (t - k) / half_width) + 0.08 * math.cos(2 * math.pi * (t - k) / half_width)
            total += samples[k] * weight * window * cutoff
        out.append(total)
    return out


def decimate(samples):
    return [sum(samples[i:i + DECIMATION]) / DECIMATION for i in range(0, len(samples) - DECIMATION + 1, DECIMATION)]


def normalised_match(segment, template):
    """Correlation of two equally long windows, and the gain that maps one onto the other."""
    dot, seg_energy, tpl_energy = sum(map(mul, segment, template)), sum(map(mul, segment, segment)), sum(map(mul, template, template))
    if seg_energy <= 0 or tpl_energy <= 0:
        return 0.0, 0.0
    return dot / math.sqrt(seg_energy * tpl_energy), dot / tpl_energy


def window_of(samples, start, length):
    """samples[start:start + length], padded with silence past either end."""
    part = [0.0] * min(length, max(0, -start)) + samples[max(0, start):max(0, start + length)]
    return part + [0.0] * (length - len(part))


class Cue:
    def __init__(self, letter, path):
        self.letter, self.samples = letter, read_cue(path)
        self.window = min(len(self.samples), WINDOW)
        # A coarse template for each way the cue can fall on the coarse grid,
        # or cues rich in high notes would match poorly half the time; short,
        # so that a cue cut off soon after its start still stands out.
        coarse = self.samples[SKIP:SKIP + SHORTEST + DECIMATION]
        self.heads = [decimate(coarse[phase:]) for phase in range(DECIMATION)]


def coarse_candidates(coarse, prefix, cue):
    """Positions (at RATE) where the recording looks like the start of cue."""
    width = len(cue.heads[-1])
    energies = [sum(map(mul, head[:width], head[:width])) for head in cue.heads]
    scores = {}
    for t in range(0, len(coarse) - width + 1):
        energy = prefix[t + width] - prefix[t]
        if energy < 0.1 * energies[0]:  # far quieter than the cue; skipping it is what keeps the search fast
            continue
        segment = coarse[t:t + width]
        best = max((sum(map(mul, segment, head)) / math.sqrt(energy * head_energy), phase)
                   for phase, (head, head_energy) in enumerate(zip(cue.heads, energies)))
        if best[0] >= 0.5:
            scores[t] = best
    # Every local peak, not just the best in a cue's length: a cue that repeats
    # itself matches its own start a period later, and only the order tells.
    reach = RATE // DECIMATION // 1000
    return [t * DECIMATION - phase - SKIP for t, (score, phase) in scores.items()
            if all(scores.get(u, (-1.0,))[0] <= score for u in range(t - reach, t + reach + 1) if u != t)]


def head_match(recording, cue, start, length):
    """How well the recording from start matches the cue's first length samples."""
    return normalised_match(window_of(recording, start + SKIP, length - SKIP), cue.samples[SKIP:length])


def find_cues(recording, cues):
    coarse = decimate(recording)
    prefix = [0.0, *accumulate(s * s for s in coarse)]
    # A recording that opens in the middle of a cue has a candidate before its first sample: none.
    candidates = sorted(filter(None, (max(([p, *head_match(recording, cue, p, cue.window), cue, cue.window]
                                           for p in range(max(0, around - DECIMATION), around + DECIMATION + 1)),
                                          key=lambda c: c[1], default=None)
                                      for cue in cues for around in coarse_candidates(coarse, prefix, cue))),
                        key=lambda c: c[0])
    # A cue cut sooner than the match window is matched only up to the next clear start.
    clear = [c[0] for c in candidates if c[1] >= ONSET_THRESHOLD]
    for c in candidates:
        later = [q for q in clear if q - c[0] >= MIN_GAP]
        if c[1] < ONSET_THRESHOLD and later and later[0] - c[0] < c[4]:
            c[4] = max(later[0] - c[0], SHORTEST)
            c[1], c[2] = head_match(recording, c[3], c[0], c[4])
    # Neighbouring positions, and both cues, can match one start; the best is kept.
    merged = []
    for c in candidates:
        if c[1] < ONSET_THRESHOLD or not 0.5 <= c[2] <= 2.0:  # the server plays cues at full volume
            continue
        if merged and c[0] - merged[-1][0] <= RATE // 1000:
            merged[-1] = max(merged[-1], c, key=lambda m: m[1])
        else:
            merged.append(c)
    found = []
    for p, score, _, cue, length in merged:
        if found:
            start, best, playing = found[-1]
            if p - start < MIN_GAP:
                # A window that starts a little early, over a quiet lead-in,
                # matches too; of matches this close only the best is a start.
                if score > best:
                    found[-1] = (p, score, cue)
                continue
            # The cue playing may match a cue's start again later on; it is a
            # new cue only if it fits better than carrying on.
            if p < start + len(playing.samples) and normalised_match(
                    window_of(recording, p + SKIP, length - SKIP),
                    window_of(playing.samples, p - start + SKIP, length - SKIP))[0] >= score - 0.01:
                continue
        found.append((p, score, cue))
    return found


def played_length(recording, cue, start, limit):
    """Samples from start for which the recording is the cue, up to limit, and the glitches it played through."""
    def matches(at):
        end = min(at + SKIP, limit)
        meant = window_of(cue.samples, at - start, end - at)
        error = sum((h - m) ** 2 for h, m in zip(window_of(recording, at, end - at), meant))
        # Blocks where the cue itself is about -42 dBFS need not match: losing them could not be heard.
        return error <= 0.5 * (sum(m * m for m in meant) + SKIP * 250 ** 2)

    blocks = list(range(start + SKIP, limit, SKIP))
    glitches = i = 0
    while i < len(blocks):
        if matches(blocks[i]):
            i += 1
            continue
        bad = i
        while bad < len(blocks) and bad - i < MAX_GLITCH_BLOCKS and not matches(blocks[bad]):
            bad += 1
        recovery = blocks[bad:bad + RECOVERY_BLOCKS]
        if bad == i or not recovery or not all(map(matches, recovery)):
            return blocks[i] - start, glitches
        glitches += 1
        i = bad + len(recovery)
    return limit - start, glitches


def describe(recording, found):
    """A dict per cue found: letter, at, played, full (ms), match, end, glitches."""
    cues = []
    # The server's level (a stereo monitor gives a mono cue back 3 dB up): at
    # the file's, a cut cue's successor leaves a residue the old tail may explain.
    level = head_match(recording, found[0][2], found[0][0], found[0][2].window)[1] if found else 1.0
    starts = [p for p, _, _ in found] + [len(recording)] * 2
    for i, (start, _, cue) in enumerate(found):
        full = len(cue.samples)
        played, glitches = played_length(recording, cue, start, min(starts[i + 1], start + full))
        end = 'full'
        if starts[i + 1] < start + full:
            # Cut if the recording is the next cue alone, overlapped if it is better explained as both mixed.
            next_start, next_cue = starts[i + 1], found[i + 1][2]
            length = max(1, min(next_cue.window, starts[i + 2] - next_start) - SKIP)
            heard = window_of(recording, next_start + SKIP, length)
            alone = window_of(next_cue.samples, SKIP, length)
            rest = window_of(cue.samples, next_start - start + SKIP, length)
            cut_error = sum((h - level * a) ** 2 for h, a in zip(heard, alone))
            end = 'cut' if cut_error <= sum((h - level * (a + r)) ** 2 for h, a, r in zip(heard, alone, rest)) else 'overlap'
        ms = 1000 / RATE
        cues.append(dict(letter=cue.letter, at=round(start * ms, 1), played=round(played * ms, 1), full=round(full * ms, 1),
                         match=head_match(recording, cue, start, max(played, SHORTEST))[0], end=end, glitches=glitches))
    return cues


def judge(cues, driver_out, driver_err):
    """The faults in how the startup drop the driver played was heard.

    A cue may be as much later as the driver's and server's threads waited
    for a CPU around it (rq_wait_ms), and go unheard only if that kept the
    player from taking it before the next replaced it."""
    failures = []
    check = lambda ok, message: ok or failures.append(message)  # noqa: E731

    # A call's own time is what it took less what the caller waited for a CPU.
    plays = [dict(id=int(m[1]), at=float(m[2]), took=float(m[3]) - float(m[6]), recorded=int(m[4]) * 1000 / RATE, waited=float(m[5]))
             for m in re.finditer(r'^play (\d+) at ([\d.]+) ms took ([\d.]+) ms rec_sample (-?\d+) rq_wait_ms ([\d.]+) '
                                  r'cpu_wait_ms ([\d.]+)$', driver_out, re.M)]
    after = re.search(r'^after rq_wait_ms ([\d.]+)$', driver_out, re.M)
    check(len(plays) == 11 and after, f'the driver played {len(plays)} cues, not 11, or did not report its end')
    check(driver_err.strip() == '', f'the player complained: {driver_err.strip()}')
    for play in plays:
        check(play['took'] < 50, f'play {play["id"]} at {play["at"]} ms held the caller {play["took"]:.3f} ms')
    # How long the machine kept the cue's threads waiting from its ask to the next.
    for play, later in zip([] if failures else plays, plays[1:] + [dict(waited=float(after[1]) if after else 0, at=math.inf)]):
        play['busy'], play['gap'] = later['waited'] - play['waited'], later['at'] - play['at']

    # Each cue heard belongs to the first asked for that it may be, known to
    # about the 10 ms blocks of the recorder and server; the first cue waits
    # for the stream, which a waking sink holds up.
    heard = []
    for i, play in enumerate([] if failures else plays):
        delay = cues[len(heard)]['at'] - play['recorded'] if len(heard) < len(cues) else math.inf
        if delay <= (300 if i == 0 else 60) + play['busy']:
            check(delay >= -20, f'cue {i} started {-delay:.1f} ms before it was asked for')
            heard.append((play, cues[len(heard)]))
        else:
            check(play['busy'] >= min(play['gap'], 100) - 10, f'cue {i}, asked for at {play["at"]} ms, was not heard')
    check(len(heard) == len(cues), f'{len(cues) - len(heard)} cue(s) heard that were not asked for, or late')
    check(' '.join(cue['letter'] for cue in cues) == ' '.join('R' if p['id'] == 103 else 'B' for p, _ in heard),
          f'heard "{" ".join(cue["letter"] for cue in cues)}", not the cues asked for, in order')

    for i, (play, cue) in enumerate(heard):
        asked = between = math.inf
        lost = 0
        if i + 1 < len(heard):
            later, next_cue = heard[i + 1]
            slack = play['busy'] + later['busy']
            asked, between = later['at'] - play['at'], next_cue['at'] - cue['at']
            # A cue held back behind an uncut one would be a whole cue late; a
            # late first cue has that much less time before the next.
            if i > 0:
                check(abs(between - asked) <= 50 + slack, f'cues {i} and {i + 1} were asked {asked:.1f} ms apart, heard {between:.1f}')
                # A cue starts late, never early: the next heard early means the recording lost a stretch.
                lost = asked - between
            # A cue the busy machine held back cuts the one before later.
            if i == 0 or slack > 5:
                asked = between
            if asked < cue['full'] - 5:
                # PipeWire starts a cue on its next 5.3 ms cycle; past 65 ms the
                # bounce cue is too quiet under the next to tell a cut.
                check(asked >= cue['full'] - 33 or cue['end'] == 'cut', f'cue {i} was not cut off by the next ({cue["end"]})')
                check(cue['played'] < cue['full'], f'cut cue {i} played {cue["played"]} of {cue["full"]} ms')
                check(abs(cue['played'] - asked) <= 15 + slack, f'cut cue {i} played {cue["played"]} ms, {asked:.1f} ms until the next')
                continue
        # It sounds until the next cue or its end; a server kept from a CPU
        # misses cycles of its graph, and then what it plays may break off.
        broken = cue['played'] < min(cue['full'], between) - 3 and lost <= 7 and not (cue['end'] == 'full' and play['busy'] > 10)
        check((cue['end'] == 'full' or asked < cue['full'] + 5) and not broken, f'cue {i} played {cue["played"]} of {cue["full"]} ms ({cue["end"]})')
    # Three cues come sooner than the one before ends, unless the driver was held up.
    close = sum(later['at'] - play['at'] < cue['full'] - 5 for (play, cue), (later, _) in zip(heard, heard[1:]))
    check(sum(cue['end'] == 'cut' for cue in cues) >= min(2, close), 'fewer than two cues were cut')
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
    recording = [float(v) for v in s16le(open(args.recording, 'rb').read())]
    found = find_cues(recording, [Cue('R', args.release), Cue('B', args.bounce)])
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
