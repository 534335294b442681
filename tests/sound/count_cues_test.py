#!/usr/bin/env python3
"""Checks count_cues.py on recordings made up from cues with known starts, so
that its verdicts (cut, overlap, cue shortened) are known to be right before
the sound tests rely on them."""

import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

# Importing the tool must leave nothing behind in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import count_cues  # noqa: E402

RATE = count_cues.RATE


def write_cue(path, samples):
    """An 8-bit mono 11025 Hz cue file, like the program's own."""
    with wave.open(path, 'wb') as f:
        f.setnchannels(1)
        f.setsampwidth(1)
        f.setframerate(11025)
        f.writeframes(bytes(max(0, min(255, round(128 + 127 * v))) for v in samples))


class CountCues(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        random.seed(7)
        # A decaying thump with some noise, and a longer falling sweep that
        # fades in: the second matches itself a little early as well.
        bounce = [math.exp(-30 * i / 11025) * (0.6 * math.sin(2 * math.pi * 140 * i / 11025)
                                                + 0.2 * (random.random() - 0.5)) for i in range(1086)]
        release = [min(1, i / 110) * (1 - i / 3080) * 0.5 * math.sin(2 * math.pi * (900 - 200 * i / 3080) * i / 11025)
                   for i in range(3080)]
        cls.bounce_path = os.path.join(cls.folder.name, 'bounce.wav')
        cls.release_path = os.path.join(cls.folder.name, 'release.wav')
        write_cue(cls.bounce_path, bounce)
        write_cue(cls.release_path, release)
        cls.cues = {letter: count_cues.CueFile(letter, path)
                    for letter, path in (('R', cls.release_path), ('B', cls.bounce_path))}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def record(self, events, mix=False, stop_after_ms=None, gain=1.0, damage=None):
        """A recording of cues started at (ms, letter), played at gain; each cuts the last unless mix.
        damage=(kind, at_ms, ms) harms every cue that long, that far in: 'glitch' silences
        it in place, 'gap' holds the rest of it back."""
        last = max(ms for ms, _ in events)
        recording = [0.0] * int(RATE * (last + 400) / 1000)
        for i, (ms, letter) in enumerate(events):
            start = int(RATE * ms / 1000)
            samples = self.cues[letter].samples
            if damage:
                kind, at_ms, damaged_ms = damage
                at, length = int(RATE * at_ms / 1000), int(RATE * damaged_ms / 1000)
                middle = [0.0] * length + (samples[at:at + length] if kind == 'gap' else [])
                samples = samples[:at] + middle + samples[at + length:]
            end = start + len(samples)
            if not mix and i + 1 < len(events):
                end = min(end, int(RATE * events[i + 1][0] / 1000))
            if stop_after_ms is not None:
                end = min(end, start + int(RATE * stop_after_ms / 1000))
            for at in range(start, end):
                recording[at] = recording[at] * mix + gain * samples[at - start]
        path = os.path.join(self.folder.name, 'recording.raw')
        with open(path, 'wb') as f:
            f.write(struct.pack(f'<{len(recording)}h', *(max(-32768, min(32767, round(v))) for v in recording)))
        result = subprocess.run([sys.executable, count_cues.__file__, path, '--bounce', self.bounce_path,
                                 '--release', self.release_path, '--details'],
                                capture_output=True, text=True, check=True)
        sequence, *details = result.stdout.splitlines()
        return sequence, [dict(field.split('=') for field in line.split()[1:]) for line in details]

    def test_cues_cutting_each_other_are_each_counted_where_they_start(self):
        events = [(20, 'R'), (370, 'B'), (600, 'B'), (690, 'B'), (740, 'B'), (760, 'R')]
        # A stereo sink's monitor gives a mono cue back some 3 dB up.
        for gain in (1.0, 1.4):
            with self.subTest(gain=gain):
                sequence, details = self.record(events, gain=gain)
                self.assertEqual(sequence, 'R B B B B R')
                for (ms, _), cue in zip(events, details):
                    self.assertAlmostEqual(float(cue['at_ms']), ms, delta=0.1)
                self.assertEqual([cue['end'] for cue in details], ['full', 'full', 'cut', 'cut', 'cut', 'full'])
                self.assertAlmostEqual(float(details[3]['played_ms']), 50, delta=1)
                self.assertAlmostEqual(float(details[5]['played_ms']), float(details[5]['full_ms']), delta=0.1)

    def test_a_cue_sounding_on_under_the_next_is_an_overlap(self):
        for gain, next_ms in ((1.0, 60), (1.4, 60), (1.4, 80)):
            with self.subTest(gain=gain, next_ms=next_ms):
                sequence, details = self.record([(20, 'B'), (next_ms, 'B')], mix=True, gain=gain)
                self.assertEqual(sequence, 'B B')
                self.assertEqual(details[0]['end'], 'overlap')

    def test_a_cue_played_as_long_as_it_goes_on_in_place(self):
        # A few ms garbled, the rest in place, plays through; sound stopped,
        # or held back by as little, does not.
        for damage, played, glitches in ((None, 40, 0), (('glitch', 40, 6), None, 1), (('glitch', 40, 12), 40, 0),
                                         (('gap', 40, 6), 40, 0)):
            with self.subTest(damage=damage):
                sequence, details = self.record([(20, 'B'), (400, 'R')], stop_after_ms=None if damage else 40,
                                                damage=damage)
                self.assertEqual(sequence, 'B R')
                for cue in details:
                    self.assertAlmostEqual(float(cue['played_ms']), played or float(cue['full_ms']), delta=3)
                    self.assertEqual(cue['end'], 'full')
                    self.assertEqual(int(cue['glitches']), glitches)

    def test_silence_has_no_cues(self):
        self.assertEqual(self.record([(300, 'B')], stop_after_ms=0), ('', []))


if __name__ == '__main__':
    unittest.main()
