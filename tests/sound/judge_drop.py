#!/usr/bin/env python3
"""Whether the startup drop played by cue_player_driver was heard as it should be.

    judge_drop.py DRIVER_OUT DRIVER_ERR CUES_OUT   (CUES_OUT: count_cues.py --details)

Prints a FAIL line per fault and exits 1 if there was any."""

import re
import sys

driver_out, driver_err, cues_out = (open(path).read() for path in sys.argv[1:])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


plays = [dict(id=int(m[1]), at=float(m[2]), took=float(m[3]), recorded=int(m[4]))
         for m in re.finditer(r'^play (\d+) at ([\d.]+) ms took ([\d.]+) ms rec_sample (-?\d+)$', driver_out, re.M)]
lines = cues_out.splitlines()
cues = [dict(at=float(m[1]), played=float(m[2]), full=float(m[3]), end=m[4], glitches=int(m[5]))
        for m in re.finditer(r'^\w at_ms=([\d.]+) played_ms=([\d.]+) full_ms=([\d.]+) match=[\d.]+ end=(\w+) glitches=(\d+)$',
                            cues_out, re.M)]

check(len(plays) == 11, f'the driver played {len(plays)} cues, not 11')
check(lines and lines[0] == 'R ' + ' '.join(['B'] * 10), f'heard "{lines[0] if lines else ""}", not R and 10 B')
check(driver_err.strip() == '', f'the player complained: {driver_err.strip()}')
for play in plays:
    check(play['took'] < 50, f'play {play["id"]} at {play["at"]} ms held the caller {play["took"]} ms')

if len(plays) == len(cues):
    for i, (play, cue) in enumerate(zip(plays, cues)):
        asked = float('inf')
        lost = 0
        # The recorder and the server work in 10 ms blocks, so a start is
        # known to within about that. Measured from how far the recording had
        # got when the cue was asked for, so a busy machine's late recorder
        # does not count against the player. The first cue waits for the
        # stream, which a busy machine or a waking sink can hold up: late,
        # never cut at its start (below).
        delay = cue['at'] - play['recorded'] * 1000 / 44100
        check(-20 <= delay <= (300 if i == 0 else 60), f'cue {i} started {delay:.1f} ms after it was asked for')
        if i + 1 < len(plays):
            asked = plays[i + 1]['at'] - play['at']
            heard = cues[i + 1]['at'] - cue['at']
            # A cue held back behind an uncut one would be a whole cue, 98 ms
            # or more, late. A late first cue has that much less time before
            # the next one.
            if i > 0:
                check(abs(heard - asked) <= 50, f'cues {i} and {i + 1} were asked {asked:.1f} ms apart, heard {heard:.1f}')
                # The player may start a cue late, never early, and a late cue
                # still sounds whole: a cue that breaks off, with the next
                # heard early, is a stretch the recording lost between the two
                # (the server's graph or the recorder missed a cycle).
                lost = asked - heard
                if lost > 7:
                    print(f'note: the recording lost about {lost:.1f} ms between cues {i} and {i + 1}')
            else:
                asked = heard
            if asked < cue['full'] - 5:
                # PipeWire starts a cue on its next 5.3 ms cycle. Past its
                # first 65 ms the bounce cue is some 25 dB below its start,
                # too quiet under the next cue's loud start to tell for sure
                # whether it sounds on: only earlier cuts are judged.
                if asked < cue['full'] - 33:
                    check(cue['end'] == 'cut', f'cue {i} was not cut off by the next ({cue["end"]})')
                check(cue['played'] < cue['full'], f'cut cue {i} played {cue["played"]} of {cue["full"]} ms')
                check(abs(cue['played'] - asked) <= 15, f'cut cue {i} played {cue["played"]} ms, {asked:.1f} ms until the next')
                continue
        # A next cue that comes as this one ends may cut its last samples.
        check((cue['end'] == 'full' or asked < cue['full'] + 5) and (abs(cue['played'] - cue['full']) <= 3 or lost > 7),
              f'cue {i} played {cue["played"]} of {cue["full"]} ms ({cue["end"]})')
    check(sum(cue['end'] == 'cut' for cue in cues) >= 2, 'fewer than two cues were cut')
    for i, cue in enumerate(cues):
        if cue['glitches']:
            print(f'note: cue {i} played through {cue["glitches"]} glitch(es) of the server\'s graph')

idle = re.search(r'^idle \d+ ms wakeups (\d+)', driver_out, re.M)
check(idle is not None and int(idle[1]) == 0, f'the player woke the process while idle: {idle[0] if idle else "no report"}')

for failure in failures:
    print('FAIL:', failure)
sys.exit(1 if failures else 0)
