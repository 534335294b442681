#!/usr/bin/env python3
"""Whether the startup drop played by cue_player_driver was heard as it should be.

    judge_drop.py DRIVER_OUT DRIVER_ERR CUES_OUT   (CUES_OUT: count_cues.py --details)

Prints a FAIL line per fault and exits 1 if there was any.

A busy machine shows in what the driver measures: how long its threads and
the sound server's waited for a CPU around each cue (rq_wait_ms). A cue may
be that much later than a player on a quiet machine starts it, and one that
the player's thread could not take before the next replaced it, or only past
its moment, may go unheard; nothing else may."""

import re
import sys

driver_out, driver_err, cues_out = (open(path).read() for path in sys.argv[1:])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


plays = [dict(id=int(m[1]), at=float(m[2]), took=float(m[3]), recorded=int(m[4]) * 1000 / 44100, waited=float(m[5]))
         for m in re.finditer(r'^play (\d+) at ([\d.]+) ms took ([\d.]+) ms rec_sample (-?\d+) rq_wait_ms ([\d.]+)$',
                              driver_out, re.M)]
after = re.search(r'^after rq_wait_ms ([\d.]+)$', driver_out, re.M)
cues = [dict(letter=m[1], at=float(m[2]), played=float(m[3]), full=float(m[4]), end=m[5], glitches=int(m[6]))
        for m in re.finditer(r'^(\w) at_ms=([\d.]+) played_ms=([\d.]+) full_ms=([\d.]+) match=[\d.]+ end=(\w+) glitches=(\d+)$',
                             cues_out, re.M)]

check(len(plays) == 11 and after, f'the driver played {len(plays)} cues, not 11, or did not report its end')
check(driver_err.strip() == '', f'the player complained: {driver_err.strip()}')
for play in plays:
    check(play['took'] < 50, f'play {play["id"]} at {play["at"]} ms held the caller {play["took"]} ms')
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
    asked = float('inf')
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
    until_next = heard[i + 1][1]['at'] - cue['at'] if i + 1 < len(heard) else float('inf')
    broken = cue['played'] < min(cue['full'], until_next) - 3 and lost <= 7
    if broken and cue['end'] == 'full' and play['busy'] > 10:
        print(f'note: cue {i} broke off after {cue["played"]} ms while the machine kept the sound waiting')
        broken = False
    check((cue['end'] == 'full' or asked < cue['full'] + 5) and not broken,
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
