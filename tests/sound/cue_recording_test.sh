#!/usr/bin/env bash
# Plays the cues of the program's startup drop through a private sound server
# and checks the recording: one release cue, then ten bounce cues, in order;
# each starts at once, sounds whole unless the next one cuts it, and a cut cue
# ends where the next begins. Also checks that the player never holds up the
# caller and leaves the process without wake-ups once the cues are over.
#
#   cue_recording_test.sh CUE_PLAYER_DRIVER
set -euo pipefail

driver=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/pulse.sh"

work=$(mktemp -d)
cleanup() {
    pulse_stop
    rm -rf "$work"
}
trap cleanup EXIT

# The release cue plays at start; the ball then touches the floor on these
# 10 ms ticks. The last few come closer together than a bounce cue lasts.
schedule=103@0
for tick in 35 87 128 159 182 199 212 221 228 233; do
    schedule+=",102@$((tick * 10))"
done

"$driver" dump 102 "$work/bounce.wav"
"$driver" dump 103 "$work/release.wav"

pulse_start
pulse_record_start "$work/recording.raw"
status=0
"$driver" play "$schedule" --rec-file "$work/recording.raw" --idle-check 2000 \
    >"$work/driver.out" 2>"$work/driver.err" || status=$?
pulse_record_stop

python3 "$here/count_cues.py" "$work/recording.raw" \
    --bounce "$work/bounce.wav" --release "$work/release.wav" --details >"$work/cues.out"

cat "$work/driver.out" "$work/cues.out"

fail=0
if [ "$status" -ne 0 ]; then
    echo "FAIL: the driver exited with status $status"
    fail=1
fi
python3 - "$work/driver.out" "$work/driver.err" "$work/cues.out" <<'CHECK' || fail=1
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
cues = [dict(kind=m[1], at=float(m[2]), played=float(m[3]), full=float(m[4]), end=m[5])
        for m in re.finditer(r'^(\w) at_ms=([\d.]+) played_ms=([\d.]+) full_ms=([\d.]+) match=[\d.]+ end=(\w+)$',
                            cues_out, re.M)]

check(len(plays) == 11, f'the driver played {len(plays)} cues, not 11')
check(lines and lines[0] == 'R ' + ' '.join(['B'] * 10), f'heard "{lines[0] if lines else ""}", not R and 10 B')
check(driver_err.strip() == '', f'the player complained: {driver_err.strip()}')
for play in plays:
    check(play['took'] < 50, f'play {play["id"]} at {play["at"]} ms held the caller {play["took"]} ms')

if len(plays) == len(cues):
    for i, (play, cue) in enumerate(zip(plays, cues)):
        # The recorder writes in 10 ms blocks and the server mixes in 10 ms
        # blocks, so a start is known to within about that.
        delay = cue['at'] - play['recorded'] * 1000 / 44100
        check(-20 <= delay <= 60, f'cue {i} started {delay:.1f} ms after it was asked for')
        if i + 1 < len(plays):
            asked = plays[i + 1]['at'] - play['at']
            heard = cues[i + 1]['at'] - cue['at']
            check(abs(heard - asked) <= 20, f'cues {i} and {i + 1} were asked {asked:.1f} ms apart, heard {heard:.1f}')
            if asked < cue['full'] - 5:
                check(cue['end'] == 'cut', f'cue {i} was not cut off by the next ({cue["end"]})')
                check(cue['played'] < cue['full'] - 5, f'cut cue {i} played {cue["played"]} of {cue["full"]} ms')
                check(abs(cue['played'] - asked) <= 15, f'cut cue {i} played {cue["played"]} ms, {asked:.1f} ms until the next')
                continue
        check(cue['end'] == 'full' and abs(cue['played'] - cue['full']) <= 3,
              f'cue {i} played {cue["played"]} of {cue["full"]} ms ({cue["end"]})')
    check(sum(cue['end'] == 'cut' for cue in cues) >= 3, 'fewer than three cues were cut')

idle = re.search(r'^idle \d+ ms wakeups (\d+)', driver_out, re.M)
check(idle is not None and int(idle[1]) == 0, f'the player woke the process while idle: {idle[0] if idle else "no report"}')

for failure in failures:
    print('FAIL:', failure)
sys.exit(1 if failures else 0)
CHECK

# A bounce cue is shorter than the buffer a stream fills before it starts
# playing, unless the player sets it smaller; as the first cue it shows.
pulse_record_start "$work/bounce-first.raw"
"$driver" play 102@0,102@300 >/dev/null
pulse_record_stop
bounce_first=$(python3 "$here/count_cues.py" "$work/bounce-first.raw" \
    --bounce "$work/bounce.wav" --release "$work/release.wav" | head -n1)
echo "bounce cues first: $bounce_first"
if [ "$bounce_first" != "B B" ]; then
    echo "FAIL: two bounce cues as the first cues were heard as \"$bounce_first\""
    fail=1
fi
exit "$fail"
